#pragma once

#include "buffered_writer.h"
#include "name_list.h"

namespace archindex {

// Writes the archive's index page: the header, one link line per name in the
// list's order (or the line that says that there are none), the footer.
// Every line ends with CR LF. Each link points to the file by its
// percent-encoded name, behind the icon one level up, and shows the name
// HTML-escaped.
void WriteIndexPage(const NameList& names, BufferedWriter& out);

}  // namespace archindex
