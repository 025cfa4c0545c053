//===- assembler/labels.cpp - Label uses and patching ---------------------===//

#include "assembler/labels.h"

#include "assembler/statement.h"
#include "driver/diagnostics.h"
#include "image/image_writer.h"

std::deque<CLabelFixup> g_LabelFixups;
std::int32_t g_LabelsUsed = 0;

std::string JoinName(std::string_view path, std::string_view name) {
  std::string result(path);
  if (!path.empty())
    result += '.';
  result += name;
  return result;
}

// label-name: identifier { "." identifier }
std::string TokensToPath(std::string_view encodedTokens) {
  CTokenList tokens(encodedTokens);
  std::string path;
  std::string_view identifier;
  bool wellFormed = TakeToken(tokens, TOKEN_IDENTIFIER, &identifier);
  if (wellFormed) {
    path.assign(identifier);
    while (!tokens.AtEnd()) {
      if (!AcceptSymbol(tokens, '.') ||
          !TakeToken(tokens, TOKEN_IDENTIFIER, &identifier)) {
        wellFormed = false;
        break;
      }
      path += '.';
      path += identifier;
    }
  }
  if (!wellFormed)
    ReportLineError(700,
                    "Internal error: cannot convert token list to namespace path");
  return path;
}

void CountLabelUses(std::uint64_t count) {
  std::uint64_t total = static_cast<std::uint64_t>(g_LabelsUsed) + count;
  g_LabelsUsed = total > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(total);
}

std::int32_t ReferenceLabel(const CParameter &parameter) {
  CountLabelUses(1);
  // A namespace refused for its depth holds no label to use; its error
  // has failed the build already.
  if (!InUsableNamespace())
    return 0;
  if (const CLabel *label = LookUpLabel(CurrentNamespace(), parameter.value))
    return label->value;
  CLabelFixup fixup;
  fixup.nameSpace = CurrentNamespace();
  fixup.tokens = parameter.value;
  fixup.position = GetOutputPosition();
  fixup.fileId = g_CurrentLine->FileId();
  fixup.line = g_CurrentLine->GetLineNumber();
  g_LabelFixups.push_back(fixup);
  return 0;
}

bool ReferenceDefinedLabel(const CParameter &parameter, std::int32_t &value) {
  CountLabelUses(1);
  if (!InUsableNamespace()) {
    value = 0;
    return true;
  }
  if (const CLabel *label = LookUpLabel(CurrentNamespace(), parameter.value)) {
    value = label->value;
    return true;
  }
  ReportLineError(910, "\"" + TokensToPath(parameter.value) +
                           "\" label must be defined before it is used here");
  return false;
}

void PatchLabels() {
  for (const CLabelFixup &fixup : g_LabelFixups) {
    const CLabel *label = LookUpLabel(fixup.nameSpace, fixup.tokens);
    if (label == nullptr) {
      // Past the printed errors only the count matters: no message is built.
      std::string message;
      if (NextErrorIsPrinted())
        message = "\"" + TokensToPath(fixup.tokens) + "\" label used without being defined";
      ReportRepeatedErrorAt(905, message, fixup.fileId, fixup.line,
                            fixup.repeat);
      continue;
    }
    if (!IsOutputOpen())
      continue;
    std::uint32_t value = static_cast<std::uint32_t>(label->value);
    unsigned char bytes[4] = {static_cast<unsigned char>(value),
                              static_cast<unsigned char>(value >> 8),
                              static_cast<unsigned char>(value >> 16),
                              static_cast<unsigned char>(value >> 24)};
    SeekOutput(fixup.position);
    for (std::uint32_t i = 0; i < fixup.repeat; ++i)
      if (!WriteOutputRaw(bytes, sizeof bytes))
        break;
  }
}

void ResetLabels() {
  g_LabelFixups.clear();
  g_LabelsUsed = 0;
  ResetNamespaces();
}
