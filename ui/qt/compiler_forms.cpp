#include "ui/qt/compiler_forms.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <charconv>
#include <sstream>

#include "core/file_io.h"
#include "core/utf8.h"
#include "session/compiler/compiler_commands.h"
#include "session/session.h"
#include "ui/qt/form_widgets.h"

namespace tarnisk {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(ValidUtf8(text)); }

QGroupBox* RadioGroup(const char* title, const char* name, QButtonGroup*& group,
                      std::initializer_list<const char*> items, QWidget* parent) {
  auto* box = Named(new QGroupBox(title, parent), name);
  auto* column = new QVBoxLayout(box);
  group = new QButtonGroup(box);
  int id = 0;
  for (const char* item : items) {
    auto* radio = new QRadioButton(item, box);
    group->addButton(radio, id++);
    column->addWidget(radio);
  }
  return box;
}

}  // namespace

TCompilerFrame::TCompilerFrame(Session& state, std::function<void()> redraw, QWidget* parent)
    : QDialog(parent), state_(state), redraw_(std::move(redraw)) {
  setObjectName("TCompilerFrame");
  setWindowTitle("CMOS Cell Compiler");
  auto* column = new QVBoxLayout(this);
  column->addWidget(new QLabel("Enter equation", this));
  equation_ = Named(new QComboBox(this), "ComboEquation");
  equation_->setEditable(true);
  equation_->setMinimumWidth(320);
  for (const std::string& example : ExampleEquations())
    equation_->addItem(QString::fromStdString(example));
  column->addWidget(equation_);
  auto* buttons = new QHBoxLayout();
  QPushButton* ok = FormButton("Compile", "sbOk", this);
  QPushButton* cancel = FormButton("Cancel", "sbCancel", this);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  column->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, [this] { sbOkClick(); });
  connect(cancel, &QPushButton::clicked, this, [this] { sbCancelClick(); });
}

void TCompilerFrame::Open() { exec(); }

void TCompilerFrame::sbOkClick() {
  // At most 128 characters of what was typed.
  const std::string text = equation_->currentText().left(int(kMaxEquationLength)).toStdString();
  close();
  CompileLine(state_, text);
  redraw_();
}

void TCompilerFrame::sbCancelClick() { close(); }

TverilogForm::TverilogForm(Session& state, std::function<void()> redraw, QWidget* parent)
    : QDialog(parent), state_(state), redraw_(std::move(redraw)) {
  setObjectName("TverilogForm");
  setWindowTitle("Verilog File");
  auto* row = new QHBoxLayout(this);
  auto* texts = new QVBoxLayout();
  source_ = Named(new QPlainTextEdit(this), "MemoSource");
  source_->setFont(QFont("Monospace", 9));
  source_->setLineWrapMode(QPlainTextEdit::NoWrap);
  texts->addWidget(source_, 3);
  texts->addWidget(new QLabel("Operation", this));
  log_ = ReadOnlyText("MemoLog", this);
  texts->addWidget(log_, 2);
  row->addLayout(texts, 3);

  auto* side = new QVBoxLayout();
  auto* pages = Named(new QTabWidget(this), "PageControl");
  pages->addTab(BuildSizePage(), "Size");
  pages->addTab(BuildLabelsPage(), "Labels");
  pages->addTab(BuildRoutingPage(), "Routing");
  side->addWidget(pages);
  cells_ = Named(new QLabel("Compiled cells : 0", this), "LabelCells");
  wires_ = Named(new QLabel("Routed wires : 0", this), "LabelWires");
  error_ = Named(new QLabel("No Error", this), "LabelError");
  for (QLabel* label : {cells_, wires_, error_}) side->addWidget(label);
  QPushButton* compile = FormButton("Compile", "btnCompile", this);
  QPushButton* cancel = FormButton("Back to Editor", "btnCancel", this);
  side->addWidget(compile);
  side->addWidget(cancel);
  side->addStretch();
  row->addLayout(side, 1);
  connect(compile, &QPushButton::clicked, this, [this] { btnCompileClick(); });
  connect(cancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
  resize(900, 600);
}

QWidget* TverilogForm::BuildSizePage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  DeviceSizes& sizes = state_.compiler.sizes;
  const auto field = [&](const char* caption, const char* name, int32_t& size, bool isWidthP) {
    auto* edit = Named(new QLineEdit(page), name);
    form->addRow(caption, edit);
    connect(edit, &QLineEdit::textChanged, this,
            [this, edit, &size, isWidthP] { EditSizeChange(edit, size, isWidthP); });
    return edit;
  };
  wn_ = field("Width N", "EditWn", sizes.wn, false);
  ln_ = field("Length N", "EditLn", sizes.ln, false);
  wp_ = field("Width P", "EditWp", sizes.wp, true);
  lp_ = field("Length P", "EditLp", sizes.lp, false);
  return page;
}

QWidget* TverilogForm::BuildLabelsPage() {
  auto* page = new QWidget(this);
  auto* column = new QVBoxLayout(page);
  column->addWidget(RadioGroup("Add label to layout", "RadioLabels", labels_,
                               {"All labels", "Cell I/O only", "Module I/O only", "No label"},
                               page));
  addClocks_ = Named(new QCheckBox("Add Clocks to Inputs", page), "chkAddClocks");
  outputsVisible_ = Named(new QCheckBox("Make outputs visible", page), "chkOutVisible");
  addClocks_->setChecked(true);
  outputsVisible_->setChecked(true);
  column->addWidget(addClocks_);
  column->addWidget(outputsVisible_);
  column->addStretch();
  // The radio items in the order of their label modes.
  static constexpr int kModes[] = {kLabelAll, kLabelCellIo, kLabelModuleIo, kLabelNone};
  connect(labels_, &QButtonGroup::idClicked, this, [this](int id) { RadioLabelsClick(kModes[id]); });
  return page;
}

QWidget* TverilogForm::BuildRoutingPage() {
  auto* page = new QWidget(this);
  auto* column = new QVBoxLayout(page);
  column->addWidget(RadioGroup("Routing options", "RadioWires", routing_,
                               {"I/O bottom, others top", "All on Top"}, page));
  column->addWidget(RadioGroup("I/O Connection", "RadioConnection", connection_,
                               {"Right side", "Left Side", "Both Sides"}, page));
  connection_->button(0)->setChecked(true);
  column->addStretch();
  connect(routing_, &QButtonGroup::idClicked, this, [this](int id) { RadioWiresClick(id == 0); });
  return page;
}

void TverilogForm::UpdateOptions(const std::string& fileName) {
  ShowStatus(state_.platform, "Update Verilog Form...");
  source_->clear();
  log_->clear();
  ShowCounts({});
  ShowStatus(state_.platform, "Load verilog file " + fileName);
  std::string text;
  if (ReadWholeFile(fileName, text) == 0) source_->setPlainText(Text(text));
  showing_ = true;
  const DeviceSizes& sizes = state_.compiler.sizes;
  wn_->setText(QString::number(sizes.wn));
  ln_->setText(QString::number(sizes.ln));
  wp_->setText(QString::number(sizes.wp));
  lp_->setText(QString::number(sizes.lp));
  static constexpr int kItemOfMode[] = {3, 0, 1, 2};  // mode 0 "No label" is the last item
  const int mode = state_.compiler.labelMode;
  labels_->button(kItemOfMode[mode >= 0 && mode <= 3 ? mode : kLabelCellIo])->setChecked(true);
  routing_->button(state_.compiler.ports.ioBelow ? 0 : 1)->setChecked(true);
  showing_ = false;
  ResetVerilogTables(state_);
}

void TverilogForm::EditSizeChange(QLineEdit* edit, int32_t& size, bool isWidthP) {
  if (showing_) return;
  const std::string text = edit->text().trimmed().toStdString();
  int32_t v = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (error != std::errc() || end != text.data() + text.size()) {
    ShowStatus(state_.platform, "'" + edit->text().toStdString() + "' is not a valid integer value");
    return;
  }
  size = v;
  if (isWidthP)
    ShowStatus(state_.platform, "New width for compiled PMOS devices is " + std::to_string(v));
}

void TverilogForm::RadioLabelsClick(int mode) {
  state_.compiler.labelMode = mode;
  ShowStatus(state_.platform, "Change label option");
}

void TverilogForm::RadioWiresClick(bool ioBelow) { state_.compiler.ports.ioBelow = ioBelow; }

void TverilogForm::btnCompileClick() {
  ShowStatus(state_.platform, "Compile Verilog file");
  ShowCounts({});
  const QString text = source_->toPlainText();
  std::vector<std::string> lines;
  std::istringstream in(text.toStdString());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ShowStatus(state_.platform, "Scan " + std::to_string(text.size()) + " characters (" +
                                  std::to_string(lines.size()) + " lines)");
  CompileVerilogText(state_, lines, this);
  redraw_();
  if (parentWidget()) parentWidget()->activateWindow();
}

void TverilogForm::btnCancelClick() {
  ShowStatus(state_.platform, "Quit verilog Compiler");
  close();
  if (parentWidget()) parentWidget()->activateWindow();
}

void TverilogForm::ShowCounts(const VerilogCounts& counts) {
  cells_->setText("Compiled cells : " + QString::number(counts.cells));
  wires_->setText("Routed wires : " + QString::number(counts.routedWires));
  error_->setText(counts.lastError ? "Compilation error " + QString::number(counts.lastError)
                                   : QString("No Error"));
}

void TverilogForm::Logged(const std::string& line) { log_->appendPlainText(Text(line)); }

void TverilogForm::CountsChanged(const VerilogCounts& counts) {
  ShowCounts(counts);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TverilogForm::RedrawWanted() { redraw_(); }

}  // namespace tarnisk
