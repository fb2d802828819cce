#pragma once
// The text side of the cell compiler: checking and normalising one line of
// boolean algebra ("carry=(A.B)+(C.(A+B))"), and building from it the two
// transistor networks of a static CMOS cell, with the pass that turns
// operands around so that neighbouring devices share their diffusion.
//
// Equations are byte strings: the pass-device marks are the single bytes
// 233 and 232, and 233 is also an identifier character. Text typed by the
// user in UTF-8 goes through EquationFromUtf8 first.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnisk {

// The compiler's error codes; 0 means none.
enum CompilerError : int {
  kCompileOk = 0,
  kCompileNoRoute = 1,     // the router found no path for a wire
  kCompileNoInput = 5,     // fewer identifiers than the cell needs
  kCompileEquals = 21,     // not exactly one "=" and not exactly one "<"
  kCompileParentheses = 22,
  kCompileNegations = 23,  // more than one "/"
  kCompileCharacter = 24,  // a character outside the accepted set
  kCompileXorInputs = 25,  // the XOR cell takes exactly two inputs
};

inline constexpr size_t kMaxEquationLength = 128;
inline constexpr size_t kMaxIdentifierLength = 63;
inline constexpr unsigned char kPassMarkN = 233;  // "y=" 233 "(a,b)": an n-channel switch
inline constexpr unsigned char kPassMarkP = 232;

enum class PassDevice { None, N, P };

bool IsIdentifierChar(unsigned char c);

// The equation as the compiler reads it: at most 128 bytes, "é" and "è"
// as the bytes 233 and 232, every other character beyond ASCII as a byte
// the checker refuses.
std::string EquationFromUtf8(std::string_view text);

// What checking found, with the text changed as the check changes it ("<"
// and "*" replaced, "/" and the pass marks blanked, blanks squeezed out).
struct CheckedEquation {
  std::string text;
  int error = kCompileOk;
  bool xorMode = false;
  PassDevice pass = PassDevice::None;
  bool arrow = false;
  bool inverter = true;  // the automatic inverter is still wanted
  int negations = 0;
};

CheckedEquation CheckEquation(std::string text);

// The output identifier, "=(", the right-hand side with every identifier
// in its own parentheses, and ")": "s=A+(B.C)" gives "s=((A)+((B).(C)))".
std::string NormalisedEquation(std::string_view checked);

// The identifiers of a text in order of occurrence, each at most 63 bytes.
std::vector<std::string> Identifiers(std::string_view text);

// The part after the first "=" (the whole text when there is none).
std::string_view RightHandSide(std::string_view equation);
// The first identifier before the first "=", or empty.
std::string OutputIdentifier(std::string_view equation);

// One transistor: gate, the node towards the supply (left) and towards the
// output (right).
struct CompiledDevice {
  int32_t width = 0, length = 0;  // lambda
  int gate = 0, right = 0, left = 0;
};

// The nodes of one compilation: 0 the ground rail, 1 the supply rail, then
// identifiers and internal nodes in order of registration. An internal node
// has no name of its own and is called "N" and its number.
class CompilerNodes {
 public:
  static constexpr int kMaxNodes = 5000;
  CompilerNodes() : names_{"vss", "vdd"} {}
  // The new node's number, or -1 when the list is full.
  int Add(const std::string& name);
  const std::string& Name(int node) const;
  int Count() const { return int(names_.size()); }

 private:
  std::vector<std::string> names_;
};

// A network of devices between `supply` and `output`, built from the
// normalised right-hand side: "." puts operands in series, "+" in parallel.
// Device i is the i-th identifier occurrence and takes gates[i] as its gate.
// With `share`, a row that breaks somewhere gets one pass over the "+"
// operators that turns operands around so that neighbouring devices share
// a terminal: after a "+" the operand that follows is turned unless a "."
// follows it or it mixes "+" and "."; otherwise the operand before it is.
// Turning an operand exchanges its two end nodes in all of its devices.
// Returns false when the node list filled up.
bool BuildNetwork(std::string_view expression, int supply, int output,
                  const std::vector<int>& gates, bool share, CompilerNodes& nodes,
                  std::vector<CompiledDevice>& devices);

// Whether device i's right node differs from device i + 1's left node
// somewhere along the row.
bool RowBreaks(const std::vector<CompiledDevice>& devices);

// The right-hand side with every "." exchanged for "+" and back: the dual
// network, whose pull-up is the complement of the pull-down.
std::string DualExpression(std::string_view expression);

}  // namespace tarnisk
