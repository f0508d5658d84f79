// The LineScan page (not built yet: it shows its template and edits nothing).
#include "linescan_page.h"

#include "page_form.h"

#include <memory>

namespace pages {
namespace {

class LineScanForm final : public PageForm {
public:
    void Initialize() override {}
    HRESULT Apply() override { return S_OK; }
};

} // namespace

std::unique_ptr<PageForm> MakeLineScanForm() {
    return std::make_unique<LineScanForm>();
}

} // namespace pages
