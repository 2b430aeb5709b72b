#include "engine/objects/application.h"

#include "automation/operations.h"
#include "engine/objects/objects.h"

namespace qx::engine {

namespace hr = automation::hr;
namespace op = automation::op;

namespace {
// Application: Workbooks (get), Visible (put and get), Quit.
class ApplicationObject final : public EngineObject {
 public:
  ApplicationObject() : state_(std::make_shared<ApplicationState>()) {}
  ~ApplicationObject() override { state_->closeAll(); }

 protected:
  std::int32_t answer(std::int32_t dispid, InvokeKind kind, std::span<const Variant> arguments,
                      Variant& result) override {
    if (dispid == op::kApplicationWorkbooks.dispid && kind == InvokeKind::PropertyGet) {
      if (!arguments.empty()) return hr::kBadParamCount;
      result = Variant::adopt(newWorkbooks(state_));
      return hr::kOk;
    }
    if (dispid == op::kApplicationVisible.dispid && kind == InvokeKind::PropertyPut) {
      if (arguments.size() != 1) return hr::kBadParamCount;
      state_->visible = integerArgument(arguments[0], "Visible") != 0;
      return hr::kOk;
    }
    if (dispid == op::kApplicationVisible.dispid && kind == InvokeKind::PropertyGet) {
      result = Variant::boolean(state_->visible);
      return hr::kOk;
    }
    if (dispid == op::kApplicationQuit.dispid && kind == InvokeKind::Method) {
      state_->closeAll();
      return hr::kOk;
    }
    return hr::kMemberNotFound;
  }

 private:
  std::shared_ptr<ApplicationState> state_;
};
}  // namespace

automation::Dispatch* createApplication() {
  return new ApplicationObject();
}

}  // namespace qx::engine
