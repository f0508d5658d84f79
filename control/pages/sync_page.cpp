// The Sync page (not built yet: it shows its template and edits nothing).
#include "sync_page.h"

#include "page_form.h"

#include <memory>

namespace pages {
namespace {

class SyncForm final : public PageForm {
public:
    void Initialize() override {}
    HRESULT Apply() override { return S_OK; }
};

} // namespace

std::unique_ptr<PageForm> MakeSyncForm() {
    return std::make_unique<SyncForm>();
}

} // namespace pages
