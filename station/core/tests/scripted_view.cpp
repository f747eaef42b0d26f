#include "scripted_view.h"

#include "control_ids.h"

namespace tessel::testing {
namespace {

template <typename Value>
Value ValueOf(const std::map<int, Value>& values, int id, Value fallback)
{
    const auto found = values.find(id);
    return found == values.end() ? fallback : found->second;
}

}  // namespace

std::string ScriptedView::ControlText(int id) const
{
    reads.push_back(id);
    return ValueOf(texts, id, std::string());
}

void ScriptedView::SetControlText(int id, const std::string& text)
{
    writes.push_back(id);
    texts[id] = text;
}

int32_t ScriptedView::ComboIndex(int id) const
{
    reads.push_back(id);
    return ValueOf(combos, id, -1);
}

void ScriptedView::SetComboIndex(int id, int32_t index)
{
    writes.push_back(id);
    combos[id] = index;
}

int32_t ScriptedView::CheckState(int id) const
{
    reads.push_back(id);
    return ValueOf(checks, id, 0);
}

void ScriptedView::SetCheckState(int id, int32_t state)
{
    writes.push_back(id);
    checks[id] = state;
}

void ScriptedView::ReportInvalidField(int id, const std::string& message)
{
    invalid.emplace_back(id, message);
}

void ScriptedView::RepaintNow()
{
    repaints.push_back(ValueOf(texts, static_cast<int>(IDC_STATUS), std::string()));
    if (onRepaint) {
        onRepaint();
    }
}

}  // namespace tessel::testing
