// The Spatial page (not built yet: it shows its template and edits nothing).
#include "spatial_page.h"

#include "page_form.h"

#include <memory>

namespace pages {
namespace {

class SpatialForm final : public PageForm {
public:
    void Initialize() override {}
    HRESULT Apply() override { return S_OK; }
};

} // namespace

std::unique_ptr<PageForm> MakeSpatialForm() {
    return std::make_unique<SpatialForm>();
}

} // namespace pages
