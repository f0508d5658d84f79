// Pages whose forms are not built yet show their templates and edit nothing.
#include "page_form.h"

#include <memory>

namespace pages {
namespace {

class TemplateOnlyForm final : public PageForm {
public:
    void Initialize() override {}
    HRESULT Apply() override { return S_OK; }
};

} // namespace

std::unique_ptr<PageForm> MakeSpatialForm() { return std::make_unique<TemplateOnlyForm>(); }
std::unique_ptr<PageForm> MakeSyncForm() { return std::make_unique<TemplateOnlyForm>(); }
std::unique_ptr<PageForm> MakeTriggerForm() { return std::make_unique<TemplateOnlyForm>(); }
std::unique_ptr<PageForm> MakeInputForm() { return std::make_unique<TemplateOnlyForm>(); }
std::unique_ptr<PageForm> MakeDisplayForm() { return std::make_unique<TemplateOnlyForm>(); }
std::unique_ptr<PageForm> MakeColorForm() { return std::make_unique<TemplateOnlyForm>(); }
std::unique_ptr<PageForm> MakeDigIOForm() { return std::make_unique<TemplateOnlyForm>(); }
std::unique_ptr<PageForm> MakeDigCamForm() { return std::make_unique<TemplateOnlyForm>(); }
std::unique_ptr<PageForm> MakeLineScanForm() { return std::make_unique<TemplateOnlyForm>(); }

} // namespace pages
