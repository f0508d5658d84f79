// The Display page (not built yet: it shows its template and edits nothing).
#include "display_page.h"

#include "page_form.h"

#include <memory>

namespace pages {
namespace {

class DisplayForm final : public PageForm {
public:
    void Initialize() override {}
    HRESULT Apply() override { return S_OK; }
};

} // namespace

std::unique_ptr<PageForm> MakeDisplayForm() {
    return std::make_unique<DisplayForm>();
}

} // namespace pages
