#pragma once
// Round trips through a record layout: every field of a layout gets its own value, the host
// encodes them, and a test reads them back through an exporter's decoder.

#include <cstdint>
#include <string>
#include <vector>

#include "host/description.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

// The value every field of a layout gets, distinct per field, shown as the exporters show it:
// integers and doubles by std::to_string, texts as their (ASCII) bytes. Address fields, which
// the host sets itself, get none.
inline std::string valueOf(const host::FieldSpec& field, std::size_t index) {
  switch (field.kind) {
    case host::FieldKind::Int32:
      return std::to_string(-1000 - static_cast<int>(index));
    case host::FieldKind::Double:
      return std::to_string(static_cast<double>(index) + 0.25);
    case host::FieldKind::Text: {
      // Paths are taken from the description's folder unless absolute.
      std::string text = field.name.ends_with("_path") ? "/t" : "t";
      text += std::to_string(index);
      return text.substr(0, field.width - 1);
    }
    case host::FieldKind::Address:
      break;
  }
  return {};
}

// The fields of `layout` as a description's JSON object, each with valueOf.
inline host::Json everyField(const host::RecordLayout& layout) {
  host::Json fields = host::Json::object();
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    const host::FieldSpec& field = layout.fields[i];
    const std::string name(field.name);
    switch (field.kind) {
      case host::FieldKind::Int32:
        fields[name] = -1000 - static_cast<int>(i);
        break;
      case host::FieldKind::Double:
        fields[name] = static_cast<double>(i) + 0.25;
        break;
      case host::FieldKind::Text:
        fields[name] = valueOf(field, i);
        break;
      case host::FieldKind::Address:
        break;
    }
  }
  return fields;
}

// `layout` encoded by the host with every field set; `exporter` names the description's
// exporter.
inline std::vector<std::uint8_t> encodeEveryField(const std::string& exporter,
                                                  const host::RecordLayout& layout) {
  TempDir dir;
  const std::string json =
      R"({"exporter": ")" + exporter + R"(", "template": "t.xlsx", "header": {}, "rows": []})";
  const host::Description d = host::loadDescription(dir.write("r.json", json));
  return host::encodeRecord(d, layout, everyField(layout), "/fields");
}

}  // namespace qx::testing
