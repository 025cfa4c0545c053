//===- tools/dis/debug_map.cpp - The debug map of a build -----------------===//

#include "tools/dis/debug_map.h"

#include "assembler/values.h"
#include "tools/dis/json.h"

#include <initializer_list>
#include <limits>
#include <set>
#include <string_view>

namespace {

/// The error of the first property found at fault.
struct CMapError {
  std::string message;
};

/// An object of the map, checked against its properties in the schema.
class CObject {
public:
  CObject(const CJson &json, std::string where,
          std::initializer_list<std::string_view> required,
          std::initializer_list<std::string_view> optional)
      : m_Json(json), m_Where(std::move(where)) {
    if (json.type != CJson::Type::Object)
      throw CMapError{Name("") + " must be an object"};
    std::set<std::string_view> seen;
    for (const CJsonMember &member : json.members) {
      bool known = false;
      for (std::string_view name : required)
        known = known || name == member.name;
      for (std::string_view name : optional)
        known = known || name == member.name;
      if (!known)
        throw CMapError{Name(member.name) + " is not a property of the map"};
      if (!seen.insert(member.name).second)
        throw CMapError{Name(member.name) + " appears twice"};
    }
    for (std::string_view name : required)
      if (json.Member(name) == nullptr)
        throw CMapError{Name(name) + " is missing"};
  }

  std::string Name(std::string_view property) const {
    if (property.empty())
      return m_Where.empty() ? "the map" : m_Where;
    return m_Where.empty() ? std::string(property) : m_Where + "." + std::string(property);
  }

  const CJson *Get(std::string_view name) const { return m_Json.Member(name); }

  std::int64_t Integer(std::string_view name, std::int64_t min, std::int64_t max) const {
    const CJson *value = Get(name);
    if (value->type != CJson::Type::Number || !value->isInteger)
      throw CMapError{Name(name) + " must be an integer"};
    if (value->integer < min || value->integer > max)
      throw CMapError{Name(name) + " is out of range"};
    return value->integer;
  }

  bool Boolean(std::string_view name) const {
    const CJson *value = Get(name);
    if (value->type != CJson::Type::Bool)
      throw CMapError{Name(name) + " must be true or false"};
    return value->boolean;
  }

  const std::string &String(std::string_view name) const {
    const CJson *value = Get(name);
    if (value->type != CJson::Type::String)
      throw CMapError{Name(name) + " must be a string"};
    return value->text;
  }

  /// The index of the string value of `name` in `choices`.
  std::size_t Choice(std::string_view name,
                     std::initializer_list<std::string_view> choices) const {
    const std::string &text = String(name);
    std::size_t index = 0;
    for (std::string_view choice : choices) {
      if (choice == text)
        return index;
      ++index;
    }
    throw CMapError{Name(name) + " has an unknown value \"" + text + "\""};
  }

  const std::vector<CJson> &Array(std::string_view name) const {
    const CJson *value = Get(name);
    if (value->type != CJson::Type::Array)
      throw CMapError{Name(name) + " must be an array"};
    return value->items;
  }

private:
  const CJson &m_Json;
  std::string m_Where;
};

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kNoMax = std::numeric_limits<std::int64_t>::max();

CMapImage ReadImage(const CJson &json) {
  CObject object(json, "image", {"file", "size", "header", "bootInfo", "boot", "start"},
                 {"bootCommand"});
  CMapImage image;
  const CJson *file = object.Get("file");
  if (file->type == CJson::Type::String)
    image.file = file->text;
  else if (file->type != CJson::Type::Null)
    throw CMapError{"image.file must be a string or null"};
  image.size = object.Integer("size", 0, kNoMax);
  image.header = object.Boolean("header");
  image.bootInfo = object.Boolean("bootInfo");
  image.boot = static_cast<std::uint32_t>(object.Integer("boot", 0, 0xFFFFFFFFll));
  if (object.Get("bootCommand") != nullptr) {
    static constexpr std::string_view kCommands[] = {"bootnone", "bootall", "bootend", "boot"};
    image.bootCommand = kCommands[object.Choice(
        "bootCommand", {"bootnone", "bootall", "bootend", "boot"})];
  }
  image.start = object.Integer("start", 0, kNoMax);
  return image;
}

CMapSpan ReadSpan(const CJson &json, const std::string &where) {
  CObject object(json, where, {"address", "position", "size", "kind", "file", "line"},
                 {"instruction", "valueKind"});
  CMapSpan span;
  span.address = static_cast<std::int32_t>(object.Integer("address", kInt32Min, kInt32Max));
  span.position = object.Integer("position", 0, kNoMax);
  span.size = object.Integer("size", 0, kNoMax);
  span.kind = static_cast<SpanKind>(object.Choice(
      "kind", {"instruction", "data", "string", "reserve", "skip", "includebin"}));
  if (object.Get("instruction") != nullptr)
    span.instruction = object.String("instruction");
  if (object.Get("valueKind") != nullptr)
    span.valueKind = static_cast<std::int32_t>(object.Choice(
                         "valueKind", {"1u", "2u", "4u", "8u", "1i", "2i", "4i", "8i", "4f",
                                       "8f", "0s", "1s", "2s", "4s", "ns"})) +
                     KIND_1U;
  span.file = object.Integer("file", 0, kNoMax);
  span.line = object.Integer("line", 1, kNoMax);
  return span;
}

} // namespace

bool ParseDebugMap(const std::string &text, CDebugMap &map, std::string &error) {
  CJson json;
  if (!ParseJson(text, json, error))
    return false;
  try {
    CObject root(json, "", {"version", "image", "files", "labels", "spans"}, {});
    if (root.Integer("version", 1, 1) != 1)
      throw CMapError{"version must be 1"};
    map = CDebugMap();
    map.image = ReadImage(*root.Get("image"));
    const std::vector<CJson> &files = root.Array("files");
    for (std::size_t i = 0; i < files.size(); ++i) {
      CObject file(files[i], "files[" + std::to_string(i) + "]", {"path", "name"}, {});
      map.files.push_back({file.String("path"), file.String("name")});
    }
    const std::vector<CJson> &labels = root.Array("labels");
    for (std::size_t i = 0; i < labels.size(); ++i) {
      CObject label(labels[i], "labels[" + std::to_string(i) + "]",
                    {"name", "value", "file", "line"}, {});
      map.labels.push_back(
          {label.String("name"),
           static_cast<std::int32_t>(label.Integer("value", kInt32Min, kInt32Max)),
           label.Integer("file", 0, kNoMax), label.Integer("line", 1, kNoMax)});
    }
    const std::vector<CJson> &spans = root.Array("spans");
    for (std::size_t i = 0; i < spans.size(); ++i)
      map.spans.push_back(ReadSpan(spans[i], "spans[" + std::to_string(i) + "]"));
  } catch (const CMapError &fault) {
    error = fault.message;
    return false;
  }
  return true;
}
