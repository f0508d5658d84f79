// The DigIO page (not built yet: it shows its template and edits nothing).
#include "digio_page.h"

#include "page_form.h"

#include <memory>

namespace pages {
namespace {

class DigIOForm final : public PageForm {
public:
    void Initialize() override {}
    HRESULT Apply() override { return S_OK; }
};

} // namespace

std::unique_ptr<PageForm> MakeDigIOForm() {
    return std::make_unique<DigIOForm>();
}

} // namespace pages
