#include "app/cli_console.h"

#include <QString>
#include <QtGlobal>
#include <ostream>

namespace tarnisk {

namespace {

constexpr double kProgressAfter = 1.0;     // s before a progress line appears
constexpr double kProgressInterval = 0.1;  // s between two redraws of it
// Long loops let events run at every step: the clock is read at every
// kTicksPerLook-th of them only.
constexpr unsigned kTicksPerLook = 64;
constexpr int kBarWidth = 12, kBlockWidth = 3;
constexpr size_t kLineWidth = 79;

bool Announces(const std::string& text) {
  return text.size() >= 3 && text.compare(text.size() - 3, 3, "...") == 0;
}

// A block bouncing in the bar: the work has no known end.
std::string Bar(int frame) {
  const int span = kBarWidth - kBlockWidth;
  const int step = frame % (2 * span);
  const int at = step <= span ? step : 2 * span - step;
  std::string bar(size_t(kBarWidth), ' ');
  bar.replace(size_t(at), size_t(kBlockWidth), size_t(kBlockWidth), '=');
  return "[" + bar + "]";
}

// Cuts a UTF-8 text to at most `width` characters.
std::string Clipped(const std::string& text, size_t width) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++characters > width)
      return text.substr(0, i);
  return text;
}

}  // namespace

double CliConsole::SteadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

CliConsole::CliConsole(std::ostream& err, CliDetail detail, bool terminal, Clock clock)
    : err_(err), detail_(detail), terminal_(terminal), clock_(std::move(clock)), start_(clock_()) {}

void CliConsole::Status(const std::string& text) {
  latest_ = text;
  if (!Announces(text)) summary_ = text;
  if (detail_ == CliDetail::Verbose) {
    Line(text);
    return;
  }
  ticks_ = 0;  // a new message is worth a look at the clock
  Tick();
}

void CliConsole::Tick() {
  if (!terminal_ || detail_ == CliDetail::Quiet || ticks_++ % kTicksPerLook != 0) return;
  const double now = clock_();
  if (now - start_ < kProgressAfter || now - lastDrawn_ < kProgressInterval) return;
  lastDrawn_ = now;
  ShowProgress();
}

void CliConsole::ShowProgress() {
  const double elapsed = clock_() - start_;
  const std::string time = std::to_string(int(elapsed)) + "." +
                           std::to_string(int(elapsed * 10) % 10) + "s ";
  const std::string head = Bar(frame_++) + " " + time;
  err_ << '\r' << head << Clipped(latest_, kLineWidth - head.size()) << "\x1b[K" << std::flush;
  progressShown_ = true;
}

void CliConsole::WipeProgress() {
  if (!progressShown_) return;
  err_ << "\r\x1b[K";
  progressShown_ = false;
}

void CliConsole::Line(const std::string& text) {
  WipeProgress();
  err_ << text << '\n';
}

void CliConsole::Warning(const std::string& text) {
  if (detail_ != CliDetail::Quiet) Line(text);
}

void CliConsole::Detail(const std::string& text) {
  if (detail_ == CliDetail::Verbose) Line(text);
}

void CliConsole::Finish(bool withSummary) {
  WipeProgress();
  if (withSummary && detail_ == CliDetail::Summary && !summary_.empty()) Line(summary_);
  err_ << std::flush;
}

namespace {

CliConsole* qtConsole = nullptr;

void ToConsole(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (!qtConsole) return;
  const std::string text = message.toStdString();
  if (type == QtCriticalMsg || type == QtFatalMsg) qtConsole->Line(text);
  else qtConsole->Detail(text);
}

}  // namespace

QtMessagesToConsole::QtMessagesToConsole(CliConsole& console) : previous_(qtConsole) {
  qtConsole = &console;
  qInstallMessageHandler(ToConsole);
}

QtMessagesToConsole::~QtMessagesToConsole() {
  qtConsole = previous_;
  if (!previous_) qInstallMessageHandler(nullptr);
}

void CliPlatform::SetStatusPanel(int panel, const std::string& text) {
  HeadlessPlatform::SetStatusPanel(panel, text);
  if (panel == 0) console_.Status(text);
}

MessageAnswer CliPlatform::ShowMessage(const std::string& title, const std::string& text,
                                       MessageButtons buttons) {
  console_.Warning(title + ": " + text);
  return HeadlessPlatform::ShowMessage(title, text, buttons);
}

}  // namespace tarnisk
