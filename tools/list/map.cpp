//===- tools/list/map.cpp - The JSON debug map and the symbol list --------===//

#include "tools/list/map.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

namespace {

using nlohmann::json;

std::string Dump(const json &value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

const char *SpanKind(StatementKind kind) {
  switch (kind) {
  case StatementKind::Instruction:
    return "instruction";
  case StatementKind::Data:
    return "data";
  case StatementKind::String:
    return "string";
  case StatementKind::Reserve:
    return "reserve";
  case StatementKind::Skip:
    return "skip";
  case StatementKind::IncludeBin:
    return "includebin";
  case StatementKind::None:
    break;
  }
  return nullptr;
}

/// `items` as a JSON array with one element a line, so that a map of a
/// million spans stays readable and small.
void AppendArray(std::string &out, const char *name, const std::vector<json> &items,
                 bool last) {
  out += "  \"";
  out += name;
  out += "\": [";
  for (std::size_t i = 0; i < items.size(); ++i) {
    out += i == 0 ? "\n    " : ",\n    ";
    out += Dump(items[i]);
  }
  out += items.empty() ? "]" : "\n  ]";
  out += last ? "\n" : ",\n";
}

} // namespace

std::string RenderMap(const CBuildRecord &build) {
  json image = json::object();
  image["file"] = build.destination.empty() ? json(nullptr) : json(build.destination);
  image["size"] = build.image.size();
  image["header"] = build.header;
  image["bootInfo"] = build.bootInfo;
  image["boot"] = build.boot;
  if (!build.bootCommand.empty())
    image["bootCommand"] = build.bootCommand;
  image["start"] = build.start;

  std::vector<json> files;
  for (const CBuildFile &file : build.files)
    files.push_back({{"path", file.fullPath}, {"name", file.name}});
  std::vector<json> labels;
  for (const CBuildLabel &label : build.labels)
    labels.push_back({{"name", label.name}, {"value", label.value},
                      {"file", label.fileId}, {"line", label.line}});
  std::vector<json> spans;
  for (const CBuildStatement &s : build.statements) {
    const char *kind = SpanKind(s.kind);
    if (kind == nullptr || s.size == 0)
      continue;
    json span = {{"address", s.address}, {"position", s.position}, {"size", s.size},
                 {"kind", kind}};
    if (s.kind == StatementKind::Instruction)
      span["instruction"] = s.detail;
    else if (!s.detail.empty())
      span["valueKind"] = s.detail;
    span["file"] = s.fileId;
    span["line"] = s.line;
    spans.push_back(std::move(span));
  }

  std::string out = "{\n  \"version\": 1,\n  \"image\": " + Dump(image) + ",\n";
  AppendArray(out, "files", files, false);
  AppendArray(out, "labels", labels, false);
  AppendArray(out, "spans", spans, true);
  out += "}\n";
  return out;
}

std::string RenderSymbols(const CBuildRecord &build) {
  std::vector<const CBuildLabel *> labels;
  for (const CBuildLabel &label : build.labels)
    labels.push_back(&label);
  std::sort(labels.begin(), labels.end(), [](const CBuildLabel *a, const CBuildLabel *b) {
    auto ua = static_cast<std::uint32_t>(a->value);
    auto ub = static_cast<std::uint32_t>(b->value);
    return ua != ub ? ua < ub : a->name < b->name;
  });
  std::string out;
  for (const CBuildLabel *label : labels) {
    char value[16];
    std::snprintf(value, sizeof value, "0x%08x", static_cast<std::uint32_t>(label->value));
    out += label->name + " = " + value + "\n";
  }
  return out;
}
