// The Input page (not built yet: it shows its template and edits nothing).
#include "input_page.h"

#include "page_form.h"

#include <memory>

namespace pages {
namespace {

class InputForm final : public PageForm {
public:
    void Initialize() override {}
    HRESULT Apply() override { return S_OK; }
};

} // namespace

std::unique_ptr<PageForm> MakeInputForm() {
    return std::make_unique<InputForm>();
}

} // namespace pages
