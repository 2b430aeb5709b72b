#include "engine/package/workbook.h"

#include <algorithm>
#include <cctype>
#include <fstream>

#include "engine/package/xml_part.h"
#include "engine/save/engine_error.h"
#include "engine/save/file_path.h"

namespace qx::engine {

namespace {
constexpr const char* kAccepted = "accepted: .xlsx, .xlsm, .xltx, .xltm";
constexpr std::size_t kMaxPictureBytes = std::size_t{256} << 20;

std::string lowerExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

// Refuses, with a description of what the file is, anything but a zip package of a workbook.
void checkFileKind(const std::string& path) {
  const std::string extension = lowerExtension(path);
  if (extension == "xls" || extension == "xlt") {
    throw EngineError(path + ": a legacy binary ." + extension +
                      " workbook, which the engine cannot open (" + kAccepted + ")");
  }
  if (extension != "xlsx" && extension != "xlsm" && extension != "xltx" && extension != "xltm") {
    throw EngineError(
        path + ": not a workbook file" +
        (extension.empty() ? std::string(" (no extension)") : " (." + extension + ")") + "; " +
        kAccepted);
  }
  std::ifstream in(filePath(path), std::ios::binary);
  if (!in) throw EngineError(path + ": cannot be opened for reading");
  char head[8] = {};
  in.read(head, sizeof head);
  const std::streamsize got = in.gcount();
  if (got == 0) throw EngineError(path + ": an empty file (0 bytes), not a workbook");
  if (got == 8 && std::string_view(head, 8) == "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") {
    throw EngineError(path + ": an OLE2 compound file (a password-encrypted workbook or a " +
                      "legacy binary workbook), not an Office Open XML package (" + kAccepted +
                      ")");
  }
  if (got < 4 || head[0] != 'P' || head[1] != 'K') {
    throw EngineError(path + ": not a zip package, so not an ." + extension + " workbook");
  }
}

std::string typeName(const std::string& type) {
  return type.substr(type.rfind('/') + 1);
}
}  // namespace

Workbook::Workbook(std::string path) : path_(std::move(path)) {
  checkFileKind(path_);
  try {
    load();
  } catch (const EngineError& e) {
    if (std::string_view(e.what()).starts_with(path_)) throw;
    throw EngineError(path_ + ": " + e.what());
  }
}

void Workbook::load() {
  package_ = std::make_unique<ZipPackage>(path_);
  if (!package_->contains(kContentTypesPart)) {
    throw EngineError(path_ + ": the package has no [Content_Types].xml, so it is no workbook");
  }
  contentTypes_.load(package_->read(kContentTypesPart));
  Relationships& root = relationshipsOf("");
  const Relationship* office = root.byTypeSuffix("officeDocument");
  if (office == nullptr) {
    throw EngineError(path_ + ": _rels/.rels names no main document, so it is no workbook");
  }
  workbookPart_ = root.partOf(*office);
  pugi::xml_document workbook;
  loadXml(workbook, package_->read(workbookPart_), workbookPart_);
  const pugi::xml_node top = workbook.document_element();
  if (localName(top) != "workbook") throw partError(workbookPart_, "the root is not workbook");
  Relationships& links = relationshipsOf(workbookPart_);
  for (pugi::xml_node sheet : childNamed(top, "sheets").children()) {
    if (localName(sheet) != "sheet") continue;
    const Relationship* link = links.byId(attributeNamed(sheet, "id"));
    if (link == nullptr) {
      throw partError(workbookPart_, "sheet '" + std::string(attributeNamed(sheet, "name")) +
                                         "' has no relationship");
    }
    sheets_.push_back(SheetEntry{std::string(attributeNamed(sheet, "name")), links.partOf(*link),
                                 typeName(link->type)});
  }
  if (sheets_.empty()) throw partError(workbookPart_, "lists no sheets");
  const pugi::xml_node view = childNamed(childNamed(top, "bookViews"), "workbookView");
  activeTab_ = view.attribute("activeTab").as_uint(0);
  if (activeTab_ >= sheets_.size()) activeTab_ = 0;

  if (const Relationship* styles = links.byTypeSuffix("styles")) {
    stylesPart_ = links.partOf(*styles);
    if (package_->contains(stylesPart_)) {
      styles_ = std::make_unique<Styles>();
      styles_->load(package_->read(stylesPart_), stylesPart_);
      font_ = styles_->defaultFont();
    }
  }
  if (const Relationship* strings = links.byTypeSuffix("sharedStrings")) {
    sharedStringsPart_ = links.partOf(*strings);
    if (package_->contains(sharedStringsPart_)) {
      sharedStrings_ = std::make_unique<SharedStrings>();
      sharedStrings_->load(package_->read(sharedStringsPart_), sharedStringsPart_);
    }
  }
}

Workbook::~Workbook() = default;

std::size_t Workbook::activeSheet() const {
  if (sheets_[activeTab_].kind != "worksheet") {
    throw EngineError(path_ + ": the active sheet '" + sheets_[activeTab_].name + "' is a " +
                      sheets_[activeTab_].kind + ", not a worksheet");
  }
  return activeTab_;
}

std::optional<std::size_t> Workbook::nextWorksheet(std::size_t index) const {
  for (std::size_t i = index + 1; i < sheets_.size(); ++i) {
    if (sheets_[i].kind == "worksheet") return i;
  }
  return std::nullopt;
}

Worksheet& Workbook::worksheet(std::size_t index) {
  if (lastWorksheet_ != nullptr && lastWorksheetIndex_ == index) return *lastWorksheet_;
  auto& slot = worksheets_[index];
  if (!slot) {
    auto sheet = std::make_unique<Worksheet>(sheets_.at(index).part);
    sheet->load(package_);
    slot = std::move(sheet);
  }
  lastWorksheetIndex_ = index;
  lastWorksheet_ = slot.get();
  return *slot;
}

Styles& Workbook::styles() {
  if (!styles_) throw EngineError(path_ + ": the workbook has no styles part");
  return *styles_;
}

Relationships& Workbook::relationshipsOf(const std::string& part) {
  auto& slot = relationships_[part];
  if (!slot) {
    slot = std::make_unique<Relationships>(part);
    const std::string rels = relationshipsPartOf(part);
    if (package_->contains(rels)) slot->load(package_->read(rels));
  }
  return *slot;
}

bool Workbook::partExists(const std::string& part) const {
  if (package_->contains(part)) return true;
  const std::string key = normalisePartName(part);
  for (const auto& [name, drawing] : drawings_) {
    if (normalisePartName(name) == key) return true;
  }
  for (const auto& [name, bytes] : media_) {
    if (normalisePartName(name) == key) return true;
  }
  return false;
}

std::string Workbook::unusedPartName(const std::string& stem, const std::string& extension) const {
  for (int n = 1;; ++n) {
    std::string name = stem + std::to_string(n) + "." + extension;
    if (!partExists(name)) return name;
  }
}

void Workbook::addPicture(std::size_t sheetIndex, const std::string& fileName, double left,
                          double top, double width, double height) {
  std::ifstream in(filePath(fileName), std::ios::binary);
  if (!in) throw EngineError(fileName + ": the picture file cannot be opened");
  std::string bytes;
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxPictureBytes) throw EngineError(fileName + ": the picture is too large");
  }
  const PictureType type = pictureType(bytes, fileName);
  if (width < 0) width = type.naturalWidth;
  if (height < 0) height = type.naturalHeight;

  Worksheet& sheet = worksheet(sheetIndex);
  const bool strict = sheet.mainNamespace().starts_with("http://purl.oclc.org/");
  const DrawingNamespaces namespaces = drawingNamespaces(strict);
  Relationships& sheetLinks = relationshipsOf(sheet.part());
  std::string drawingPart;
  if (const std::string id = sheet.drawingRelationship(); !id.empty()) {
    const Relationship* link = sheetLinks.byId(id);
    if (link == nullptr) throw partError(sheet.part(), "its drawing has no relationship " + id);
    drawingPart = sheetLinks.partOf(*link);
  }
  auto found = drawingPart.empty() ? drawings_.end() : drawings_.find(drawingPart);
  if (found == drawings_.end()) {
    auto drawing = std::make_unique<Drawing>(drawingPart);
    if (drawingPart.empty()) {
      drawingPart = unusedPartName("xl/drawings/drawing", "xml");
      drawing = std::make_unique<Drawing>(drawingPart);
      drawing->create(namespaces);
      const std::string id = sheetLinks.add(namespaces.relationshipTypes + "/drawing",
                                            relativeTarget(sheet.part(), drawingPart));
      sheet.addDrawing(id, namespaces.relationships);
      contentTypes_.setOverride(drawingPart,
                                "application/vnd.openxmlformats-officedocument.drawing+xml");
    } else {
      drawing->load(package_->read(drawingPart));
    }
    found = drawings_.emplace(drawingPart, std::move(drawing)).first;
  }
  const std::string mediaPart = unusedPartName("xl/media/image", type.extension);
  media_[mediaPart] = std::move(bytes);
  contentTypes_.declare(mediaPart, type.contentType, true);
  Relationships& drawingLinks = relationshipsOf(drawingPart);
  const std::string imageId = drawingLinks.add(namespaces.relationshipTypes + "/image",
                                               relativeTarget(drawingPart, mediaPart));
  found->second->addPicture(anchorFor(geometry(sheetIndex), left, top, width, height), imageId,
                            namespaces);
}

bool Workbook::partInUse(const std::string& part) const {
  if (part == workbookPart_ || part == stylesPart_ || part == sharedStringsPart_) return true;
  return std::any_of(sheets_.begin(), sheets_.end(),
                     [&](const SheetEntry& sheet) { return sheet.part == part; });
}

void Workbook::save() {
  std::map<std::string, PartContent> parts;  // by stored or new name
  auto whole = [](std::string bytes) {
    auto shared = std::make_shared<std::string>(std::move(bytes));
    return PartContent{[shared, done = false](std::string& chunk) mutable {
                         if (done) return false;
                         chunk = *shared;
                         done = true;
                         return true;
                       },
                       6};
  };
  std::vector<std::string> removed;
  if (formulaRemoved_) {
    Relationships& links = relationshipsOf(workbookPart_);
    const Relationship* chain = links.byTypeSuffix("calcChain");
    // A damaged part may call a part the workbook reads a calculation chain: that one stays.
    if (chain != nullptr && !partInUse(links.partOf(*chain))) {
      const std::string part = links.partOf(*chain);
      removed.push_back(part);
      contentTypes_.removeOverride(part);
      links.remove(*chain);
    }
  }
  // Every part written gets a media type, should the template have left one without.
  const std::string sml = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
  auto rewrite = [&](const std::string& part, PartContent content, const std::string& type) {
    parts[part] = std::move(content);
    contentTypes_.declare(part, type, false);
  };
  for (auto& [index, sheet] : worksheets_) {
    if (sheet->changed()) {
      rewrite(sheet->part(), PartContent{sheet->saver(), 1}, sml + "worksheet+xml");
    }
  }
  if (styles_ && styles_->changed())
    rewrite(stylesPart_, whole(styles_->save()), sml + "styles+xml");
  if (sharedStrings_ && sharedStrings_->changed()) {
    rewrite(sharedStringsPart_, PartContent{sharedStrings_->saver(), 1}, sml + "sharedStrings+xml");
  }
  for (auto& [part, drawing] : drawings_) {
    rewrite(part, whole(drawing->save()),
            "application/vnd.openxmlformats-officedocument.drawing+xml");
  }
  for (auto& [part, bytes] : media_) parts[part] = whole(bytes);  // declared when added
  for (auto& [key, table] : tables_) {
    if (table && table->changed()) rewrite(table->part(), whole(table->save()), kTableContentType);
  }
  for (auto& [source, links] : relationships_) {
    if (links->changed()) {
      const std::string part = relationshipsPartOf(source);
      parts[part] = whole(links->save());
      contentTypes_.declare(part, kRelationshipsContentType, true);
    }
  }
  if (contentTypes_.changed()) parts[kContentTypesPart] = whole(contentTypes_.save());

  std::unordered_map<std::string, PartContent> replaced;
  std::vector<std::pair<std::string, PartContent>> added;
  for (auto& [name, content] : parts) {
    if (package_->contains(name)) {
      replaced.emplace(normalisePartName(name), std::move(content));
    } else {
      added.emplace_back(name, std::move(content));
    }
  }
  package_->save(path_, replaced, added, removed);
  // Later saves copy from the file as it is now.
  package_ = std::make_unique<ZipPackage>(path_);
}

}  // namespace qx::engine
