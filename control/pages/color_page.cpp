// The Color page (not built yet: it shows its template and edits nothing).
#include "color_page.h"

#include "page_form.h"

#include <memory>

namespace pages {
namespace {

class ColorForm final : public PageForm {
public:
    void Initialize() override {}
    HRESULT Apply() override { return S_OK; }
};

} // namespace

std::unique_ptr<PageForm> MakeColorForm() {
    return std::make_unique<ColorForm>();
}

} // namespace pages
