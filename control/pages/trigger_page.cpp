// The Trigger page (not built yet: it shows its template and edits nothing).
#include "trigger_page.h"

#include "page_form.h"

#include <memory>

namespace pages {
namespace {

class TriggerForm final : public PageForm {
public:
    void Initialize() override {}
    HRESULT Apply() override { return S_OK; }
};

} // namespace

std::unique_ptr<PageForm> MakeTriggerForm() {
    return std::make_unique<TriggerForm>();
}

} // namespace pages
