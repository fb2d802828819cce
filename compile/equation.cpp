#include "compile/equation.h"

#include <algorithm>

namespace tarnisk {

namespace {

bool IsOperatorChar(unsigned char c) {
  switch (c) {
    case ' ': case '(': case ')': case '*': case '+': case ',': case '.': case '/': case '=':
      return true;
    default: return false;
  }
}

bool IdentAt(std::string_view t, size_t i) {
  return i < t.size() && IsIdentifierChar(static_cast<unsigned char>(t[i]));
}
bool IdentStartsAt(std::string_view t, size_t i) { return IdentAt(t, i) && !(i > 0 && IdentAt(t, i - 1)); }
bool IdentEndsAt(std::string_view t, size_t i) { return IdentAt(t, i) && !IdentAt(t, i + 1); }

// One level of a right-hand side between parentheses: operands (an
// identifier or a parenthesised group, already written out) and the
// characters between them.
struct LevelItem {
  std::string text;
  bool operand = false;
};

std::string NormalisedLevel(std::string_view rhs, size_t& pos);

// Writes out a level; where it holds both "." and "+", every chain of
// operands joined by "." gets its own parentheses, so that "." binds
// tighter than "+" and the dual network (each operator exchanged) is the
// complement of the first.
std::string JoinLevel(const std::vector<LevelItem>& items) {
  bool dot = false, plus = false;
  for (const LevelItem& item : items) {
    dot = dot || (!item.operand && item.text == ".");
    plus = plus || (!item.operand && item.text == "+");
  }
  std::string out;
  if (!(dot && plus)) {
    for (const LevelItem& item : items) out += item.text;
    return out;
  }
  // The operator that follows item i, skipping characters without meaning.
  const auto nextOperator = [&](size_t i) -> char {
    for (size_t k = i + 1; k < items.size(); ++k)
      if (items[k].operand) return 0;
      else if (items[k].text == "." || items[k].text == "+") return items[k].text[0];
    return 0;
  };
  bool inChain = false;
  for (size_t i = 0; i < items.size(); ++i) {
    const LevelItem& item = items[i];
    if (item.operand && !inChain && nextOperator(i) == '.') {
      out += '(';
      inChain = true;
    }
    out += item.text;
    if (item.operand && inChain && nextOperator(i) != '.') {
      out += ')';
      inChain = false;
    }
  }
  if (inChain) out += ')';
  return out;
}

std::string NormalisedLevel(std::string_view rhs, size_t& pos) {
  std::vector<LevelItem> items;
  while (pos < rhs.size() && rhs[pos] != ')') {
    if (rhs[pos] == '(') {
      ++pos;
      std::string inner = NormalisedLevel(rhs, pos);
      const bool closed = pos < rhs.size();
      if (closed) ++pos;
      items.push_back({"(" + inner + (closed ? ")" : ""), true});
    } else if (IdentAt(rhs, pos)) {
      size_t end = pos;
      while (IdentAt(rhs, end)) ++end;
      items.push_back({"(" + std::string(rhs.substr(pos, end - pos)) + ")", true});
      pos = end;
    } else {
      items.push_back({std::string(1, rhs[pos]), false});
      ++pos;
    }
  }
  return JoinLevel(items);
}

// An operand around a "+": its first and last character and its identifiers.
struct Operand {
  size_t first = 0, last = 0;
  int identifiers = 0;
  bool mixed = false;  // holds both "+" and "."
};

// The operand after the "+" at `plus`: scanned right until, after at least
// one identifier, its parentheses balance.
Operand OperandAfter(std::string_view t, size_t plus) {
  Operand g{plus + 1, plus + 1, 0, false};
  int depth = 0;
  bool sawPlus = false, sawDot = false;
  for (size_t j = plus + 1; j < t.size(); ++j) {
    g.last = j;
    const char c = t[j];
    if (c == '(') ++depth;
    else if (c == ')') --depth;
    else if (c == '+') sawPlus = true;
    else if (c == '.') sawDot = true;
    else if (IdentStartsAt(t, j)) {
      ++g.identifiers;
      while (IdentAt(t, j + 1)) ++j;
      g.last = j;
    }
    if (g.identifiers > 0 && depth <= 0) break;
  }
  g.mixed = sawPlus && sawDot;
  return g;
}

// The operand before the "+" at `plus`, scanned leftwards likewise.
Operand OperandBefore(std::string_view t, size_t plus) {
  Operand g{plus, plus, 0, false};
  int depth = 0;
  for (size_t j = plus; j-- > 0;) {
    g.first = j;
    const char c = t[j];
    if (c == ')') ++depth;
    else if (c == '(') --depth;
    else if (IdentEndsAt(t, j)) {
      ++g.identifiers;
      while (j > 0 && IdentAt(t, j - 1)) --j;
      g.first = j;
    }
    if (g.identifiers > 0 && depth <= 0) break;
  }
  return g;
}

// The nodes each character of a network's expression sees: the forward
// pass's current node before it (where an operand starting there begins)
// and the backward pass's (where an operand ending there ends).
struct NetworkTrace {
  std::vector<int> before, after;
};

// The forward pass: "(" keeps the current node, ")" returns to it, "."
// starts a new internal node, and a device starts at the current node.
bool ForwardPass(std::string_view t, int supply, CompilerNodes& nodes, NetworkTrace& trace,
                 std::vector<int>& lefts, std::vector<int>& created) {
  int current = supply;
  std::vector<int> stack;
  for (size_t i = 0; i < t.size(); ++i) {
    trace.before[i] = current;
    const char c = t[i];
    if (c == '(') {
      stack.push_back(current);
    } else if (c == ')') {
      if (!stack.empty()) current = stack.back(), stack.pop_back();
    } else if (c == '.') {
      current = nodes.Add("");
      if (current < 0) return false;
      created.push_back(current);
    } else if (IdentStartsAt(t, i)) {
      lefts.push_back(current);
    }
  }
  return true;
}

// The backward pass from the end: ")" keeps the current node, "(" returns
// to it, "." steps back through the internal nodes, and a device ends at
// the current node.
void BackwardPass(std::string_view t, int output, const std::vector<int>& created,
                  NetworkTrace& trace, std::vector<int>& rights) {
  int current = output;
  std::vector<int> stack;
  size_t next = created.size();
  for (size_t i = t.size(); i-- > 0;) {
    trace.after[i] = current;
    const char c = t[i];
    if (c == ')') {
      stack.push_back(current);
    } else if (c == '(') {
      if (!stack.empty()) current = stack.back(), stack.pop_back();
    } else if (c == '.') {
      if (next > 0) current = created[--next];
    } else if (IdentEndsAt(t, i)) {
      rights.push_back(current);
    }
  }
  std::reverse(rights.begin(), rights.end());
}

// An operand turned around: its end nodes exchanged, kept so that the ends
// of operands inside it can be followed through the exchange.
struct Turn {
  size_t first, last;
  int a, b;
};

int Exchanged(int node, int a, int b) { return node == a ? b : node == b ? a : node; }

void TurnOperand(const Operand& g, int firstDevice, const NetworkTrace& trace,
                 std::vector<Turn>& turns, std::vector<CompiledDevice>& devices) {
  int a = trace.before[g.first], b = trace.after[g.last];
  for (const Turn& t : turns)
    if (t.first <= g.first && g.last <= t.last) a = Exchanged(a, t.a, t.b), b = Exchanged(b, t.a, t.b);
  if (a == b) return;
  turns.push_back({g.first, g.last, a, b});
  for (int i = firstDevice; i < firstDevice + g.identifiers && i < int(devices.size()); ++i) {
    CompiledDevice& d = devices[size_t(i)];
    d.left = Exchanged(d.left, a, b);
    d.right = Exchanged(d.right, a, b);
  }
}

void ShareDiffusion(std::string_view t, const NetworkTrace& trace,
                    std::vector<CompiledDevice>& devices) {
  std::vector<bool> used(t.size(), false);
  std::vector<Turn> turns;
  int counted = 0;  // identifiers before the present position
  for (size_t i = 0; i < t.size(); ++i) {
    if (IdentStartsAt(t, i)) ++counted;
    if (t[i] != '+' || used[i]) continue;
    const Operand after = OperandAfter(t, i);
    size_t next = after.last + 1;
    while (next < t.size() && t[next] == ')') ++next;
    const bool dotFollows = next < t.size() && t[next] == '.';
    if (!dotFollows && !after.mixed) {
      TurnOperand(after, counted, trace, turns, devices);
      if (after.last + 1 < t.size() && t[after.last + 1] == '+') used[after.last + 1] = true;
    } else {
      const Operand before = OperandBefore(t, i);
      TurnOperand(before, counted - before.identifiers, trace, turns, devices);
    }
  }
}

}  // namespace

bool IsIdentifierChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == kPassMarkN;
}

std::string EquationFromUtf8(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size() && out.size() < kMaxEquationLength;) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += char(c);
      ++i;
      continue;
    }
    // A two-byte sequence for U+00E8 or U+00E9 gives its Latin-1 byte.
    const bool latin = c == 0xC3 && i + 1 < text.size() &&
                       (static_cast<unsigned char>(text[i + 1]) == 0xA8 ||
                        static_cast<unsigned char>(text[i + 1]) == 0xA9);
    if (latin) {
      out += char(static_cast<unsigned char>(text[i + 1]) + 0x40);
      i += 2;
      continue;
    }
    // Any other character: one byte the checker refuses, then the rest of
    // its sequence skipped.
    out += char(0x80);
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  }
  return out;
}

CheckedEquation CheckEquation(std::string text) {
  CheckedEquation r;
  if (text.size() > kMaxEquationLength) text.resize(kMaxEquationLength);
  int equals = 0, arrows = 0, depth = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool afterEquals = i > 0 && text[i - 1] == '=';
    if (c == '=') {
      ++equals;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (c == '<') {
      text[i] = '=';
      ++arrows;
    } else if (c == '*') {
      r.xorMode = true;
      r.inverter = false;
      text[i] = '.';
    } else if (c == '/') {
      text[i] = ' ';
      r.inverter = false;
      ++r.negations;
    } else if ((c == kPassMarkN || c == kPassMarkP) && afterEquals) {
      r.pass = c == kPassMarkN ? PassDevice::N : PassDevice::P;
      text[i] = ' ';
      r.inverter = false;
    } else if (!IsIdentifierChar(c) && !IsOperatorChar(c)) {
      r.error = kCompileCharacter;
    }
  }
  text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
  r.text = std::move(text);
  if (arrows == 1) {
    r.inverter = false;
    r.arrow = true;
  }
  // A negated XOR is drawn as the XOR cell followed by the inverter.
  if (r.xorMode) r.inverter = r.negations == 1;
  if (equals != 1 && arrows != 1) r.error = kCompileEquals;
  if (depth != 0) r.error = kCompileParentheses;
  if (r.negations >= 2) r.error = kCompileNegations;
  return r;
}

std::string_view RightHandSide(std::string_view equation) {
  const size_t eq = equation.find('=');
  return eq == std::string_view::npos ? equation : equation.substr(eq + 1);
}

std::string OutputIdentifier(std::string_view equation) {
  const std::vector<std::string> ids = Identifiers(equation.substr(0, equation.find('=')));
  return ids.empty() ? std::string() : ids.front();
}

std::string NormalisedEquation(std::string_view checked) {
  const std::string_view rhs = RightHandSide(checked);
  std::string body;
  for (size_t pos = 0; pos < rhs.size();) {
    body += NormalisedLevel(rhs, pos);
    if (pos < rhs.size()) body += rhs[pos++];  // a ")" without its "("
  }
  return OutputIdentifier(checked) + "=(" + body + ")";
}

std::vector<std::string> Identifiers(std::string_view text) {
  std::vector<std::string> ids;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!IdentStartsAt(text, i)) continue;
    size_t end = i;
    while (IdentAt(text, end)) ++end;
    ids.emplace_back(text.substr(i, std::min(end - i, kMaxIdentifierLength)));
    i = end - 1;
  }
  return ids;
}

int CompilerNodes::Add(const std::string& name) {
  if (int(names_.size()) >= kMaxNodes) return -1;
  const int node = int(names_.size());
  names_.push_back(name.empty() ? "N" + std::to_string(node) : name);
  return node;
}

const std::string& CompilerNodes::Name(int node) const {
  static const std::string kUnknown = "?";
  return node >= 0 && node < int(names_.size()) ? names_[size_t(node)] : kUnknown;
}

bool BuildNetwork(std::string_view expression, int supply, int output,
                  const std::vector<int>& gates, bool share, CompilerNodes& nodes,
                  std::vector<CompiledDevice>& devices) {
  devices.clear();
  NetworkTrace trace{std::vector<int>(expression.size()), std::vector<int>(expression.size())};
  std::vector<int> lefts, rights, created;
  if (!ForwardPass(expression, supply, nodes, trace, lefts, created)) return false;
  BackwardPass(expression, output, created, trace, rights);
  for (size_t i = 0; i < lefts.size(); ++i)
    devices.push_back({0, 0, i < gates.size() ? gates[i] : 0, rights[i], lefts[i]});
  if (share && RowBreaks(devices)) ShareDiffusion(expression, trace, devices);
  return true;
}

bool RowBreaks(const std::vector<CompiledDevice>& devices) {
  for (size_t i = 0; i + 1 < devices.size(); ++i)
    if (devices[i].right != devices[i + 1].left) return true;
  return false;
}

std::string DualExpression(std::string_view expression) {
  std::string dual(expression);
  for (char& c : dual) c = c == '.' ? '+' : c == '+' ? '.' : c;
  return dual;
}

}  // namespace tarnisk
