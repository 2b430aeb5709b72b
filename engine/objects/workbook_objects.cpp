// Workbooks and Workbook: opening, saving and closing workbooks.

#include <filesystem>

#include "automation/operations.h"
#include "engine/objects/objects.h"
#include "engine/save/engine_error.h"
#include "engine/save/file_path.h"

namespace qx::engine {

namespace hr = automation::hr;
namespace op = automation::op;

namespace {

// Workbooks: Open, Close.
class WorkbooksObject final : public EngineObject {
 public:
  explicit WorkbooksObject(std::shared_ptr<ApplicationState> state) : state_(std::move(state)) {}

 protected:
  std::int32_t answer(std::int32_t dispid, InvokeKind kind, std::span<const Variant> arguments,
                      Variant& result) override {
    if (kind != InvokeKind::Method) return hr::kMemberNotFound;
    if (dispid == op::kWorkbooksOpen.dispid) {
      if (arguments.empty() || arguments.size() > 15) return hr::kBadParamCount;
      const std::string path = textArgument(arguments[0], "Filename");
      result = Variant::adopt(newWorkbook(state_, open(path)));
      return hr::kOk;
    }
    if (dispid == op::kWorkbooksClose.dispid) {
      if (!arguments.empty()) return hr::kBadParamCount;
      state_->closeAll();
      return hr::kOk;
    }
    return hr::kMemberNotFound;
  }

 private:
  // The workbook of that file: the one already open, or newly opened.
  BookPointer open(const std::string& path) {
    std::error_code error;
    const std::filesystem::path wanted = std::filesystem::weakly_canonical(filePath(path), error);
    for (const BookPointer& book : state_->workbooks) {
      if (book->model &&
          std::filesystem::weakly_canonical(filePath(book->model->path()), error) == wanted) {
        return book;
      }
    }
    auto book = std::make_shared<OpenWorkbook>();
    book->model = std::make_unique<Workbook>(path);
    state_->workbooks.push_back(book);
    return book;
  }

  std::shared_ptr<ApplicationState> state_;
};

// Workbook: ActiveSheet (get), Save, Close.
class WorkbookObject final : public EngineObject {
 public:
  WorkbookObject(std::shared_ptr<ApplicationState> state, BookPointer book)
      : state_(std::move(state)), book_(std::move(book)) {}

 protected:
  std::int32_t answer(std::int32_t dispid, InvokeKind kind, std::span<const Variant> arguments,
                      Variant& result) override {
    if (dispid == op::kWorkbookActiveSheet.dispid && kind == InvokeKind::PropertyGet) {
      if (!arguments.empty()) return hr::kBadParamCount;
      result = Variant::adopt(newWorksheet(book_, book_->get().activeSheet()));
      return hr::kOk;
    }
    if (dispid == op::kWorkbookSave.dispid && kind == InvokeKind::Method) {
      if (!arguments.empty()) return hr::kBadParamCount;
      book_->get().save();
      return hr::kOk;
    }
    if (dispid == op::kWorkbookClose.dispid && kind == InvokeKind::Method) {
      if (arguments.size() > 3) return hr::kBadParamCount;
      close(arguments);
      return hr::kOk;
    }
    return hr::kMemberNotFound;
  }

 private:
  // SaveChanges true saves first (over the workbook's own file; a different Filename is not
  // supported); missing or false closes without saving.
  void close(std::span<const Variant> arguments) {
    Workbook& workbook = book_->get();
    const bool save = !arguments.empty() && !arguments[0].isMissing() &&
                      integerArgument(arguments[0], "SaveChanges") != 0;
    if (save) {
      if (arguments.size() > 1 && !arguments[1].isMissing()) {
        throw EngineError("saving under another file name is not supported");
      }
      workbook.save();
    }
    book_->model.reset();
    std::erase(state_->workbooks, book_);
  }

  std::shared_ptr<ApplicationState> state_;
  BookPointer book_;
};

}  // namespace

automation::Dispatch* newWorkbooks(std::shared_ptr<ApplicationState> state) {
  return new WorkbooksObject(std::move(state));
}

automation::Dispatch* newWorkbook(std::shared_ptr<ApplicationState> state, BookPointer book) {
  return new WorkbookObject(std::move(state), std::move(book));
}

}  // namespace qx::engine
