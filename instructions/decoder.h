//===- instructions/decoder.h - Instructions from their bytes ---*- C++ -*-===//
//
// The reverse of instruction assembly, for tools that read images. The head
// byte's top bits and the opcode name the definition; the head's three mode
// fields give the parameters' addressing modes; each parameter then takes
// four bytes in modes 2 and 3, and in mode 1 the size of its kind: the
// width of a number, a string up to its zero byte ("0s") or as long as its
// length prefix says ("1s" "2s" "4s"). A mode-1 "ns" string has no length
// of its own and is decoded only when the instruction's size is known.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_INSTRUCTIONS_DECODER_H
#define FERROX_INSTRUCTIONS_DECODER_H

#include "instructions/instruction_set.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// One parameter of a decoded instruction.
struct CDecodedParameter {
  std::int32_t kind = 0;    ///< The definition's kind (ValueKind or KIND_X).
  std::int32_t mode = 0;    ///< Addressing mode: 1, 2 or 3.
  std::uint32_t offset = 0; ///< Its first byte, counted from the head byte.
  std::uint32_t size = 0;   ///< Its bytes.
  /// Modes 2 and 3: the 4-byte value. A mode-1 number: its bytes as a
  /// little-endian value, zero-extended to 64 bits.
  std::uint64_t bits = 0;
  /// A mode-1 string: its bytes without length prefix or zero byte.
  std::string text;
};

/// An instruction as decoded from its bytes.
struct CDecodedInstruction {
  const CInstruction *definition = nullptr;
  std::uint32_t size = 0; ///< Bytes, head and opcode included.
  std::int32_t count = 0; ///< Parameters, as the definition has them.
  std::array<CDecodedParameter, 3> parameters;
};

enum class DecodeStatus {
  Ok,
  Truncated,   ///< The bytes end before the instruction does.
  Unknown,     ///< No definition has the head's top bits and opcode.
  Mismatch,    ///< Such definitions exist, but the modes or bytes fit none.
  NeedsLength, ///< A mode-1 "ns" parameter: its length is not in the bytes.
};

/// The definitions of an instruction set, indexed by head byte and opcode.
class CInstructionDecoder {
public:
  CInstructionDecoder() = default;
  /// `definitions` in file order; among several with the same top bits and
  /// opcode the first that fits the bytes is taken.
  explicit CInstructionDecoder(std::vector<CInstruction> definitions);

  const std::vector<CInstruction> &Definitions() const { return m_Definitions; }

  /// The definitions whose top bits (the low two) and opcode are those of
  /// `head` and `opcode`, in file order.
  std::vector<const CInstruction *> Candidates(std::uint8_t head,
                                               std::uint8_t opcode) const;

  /// Decodes the instruction at the start of `bytes` with the first
  /// candidate that fits. On failure the status of the candidate that came
  /// closest: NeedsLength, then Truncated, then Mismatch.
  DecodeStatus Decode(std::string_view bytes, CDecodedInstruction &out) const;

private:
  std::vector<CInstruction> m_Definitions;
  /// Indexes into m_Definitions by top bits * 256 + opcode.
  std::vector<std::vector<std::uint32_t>> m_ByHead;
};

/// Decodes the start of `bytes` as `definition`, which `out` then points
/// to. With `size` the instruction must take exactly that many bytes, which
/// gives mode-1 "ns" parameters their lengths (the first takes what the
/// others leave).
DecodeStatus DecodeAs(const CInstruction &definition, std::string_view bytes,
                      std::optional<std::uint32_t> size,
                      CDecodedInstruction &out);

/// The head byte of `definition` with the given modes (0 for a parameter it
/// does not have).
std::uint8_t HeadByte(const CInstruction &definition,
                      const std::array<std::int32_t, 3> &modes);

/// The bytes `instruction` assembles to.
std::string EncodeInstruction(const CDecodedInstruction &instruction);

#endif // FERROX_INSTRUCTIONS_DECODER_H
