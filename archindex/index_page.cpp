#include "index_page.h"

#include <string>
#include <string_view>

#include "link_escaping.h"

namespace archindex {
namespace {

constexpr std::string_view kHeader =
    "<HTML>\r\n"
    "<HEAD><TITLE>WebCam Archive</TITLE>\r\n"
    "</HEAD>\r\n"
    "<BODY>\r\n";
constexpr std::string_view kNoFiles = "No archive image files found!\r\n";
constexpr std::string_view kFooter =
    "</BODY>\r\n"
    "</HTML>\r\n";

void AppendLinkLine(std::string& line, std::string_view name) {
  line.append("<A HREF=\"");
  AppendPercentEncoded(line, name);
  line.append("\"><IMG SRC=\"../img_icon.gif\" BORDER=0> ");
  AppendHtmlEscaped(line, name);
  line.append("</A><BR>\r\n");
}

}  // namespace

void WriteIndexPage(const NameList& names, BufferedWriter& out) {
  out.Append(kHeader);
  if (names.empty()) out.Append(kNoFiles);
  std::string line;
  for (std::size_t i = 0; i < names.size(); ++i) {
    line.clear();
    AppendLinkLine(line, names[i]);
    out.Append(line);
  }
  out.Append(kFooter);
}

}  // namespace archindex
