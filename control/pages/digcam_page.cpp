// The DigCam page (not built yet: it shows its template and edits nothing).
#include "digcam_page.h"

#include "page_form.h"

#include <memory>

namespace pages {
namespace {

class DigCamForm final : public PageForm {
public:
    void Initialize() override {}
    HRESULT Apply() override { return S_OK; }
};

} // namespace

std::unique_ptr<PageForm> MakeDigCamForm() {
    return std::make_unique<DigCamForm>();
}

} // namespace pages
