#include "ui/qt/main_window.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <filesystem>

#include "core/file_io.h"
#include "core/number_format.h"
#include "session/analysis/drc_command.h"
#include "session/analysis/extract_command.h"
#include "session/editor/editing.h"
#include "session/editor/texts.h"
#include "session/editor/view.h"
#include "session/files.h"
#include "session/navigator/navigator_commands.h"
#include "session/session.h"
#include "ui/qt/cif_form.h"
#include "ui/qt/compiler_forms.h"
#include "ui/qt/drc_results.h"
#include "ui/qt/edit_dialogs.h"
#include "ui/qt/emc_form.h"
#include "ui/qt/extract_form.h"
#include "ui/qt/info_forms.h"
#include "ui/qt/mos_viewer_form.h"
#include "ui/qt/navigator_form.h"
#include "ui/qt/statistics_form.h"
#include "ui/qt/generator_form.h"
#include "ui/qt/help_window.h"
#include "ui/qt/layout_view.h"
#include "ui/qt/palette.h"
#include "ui/qt/process_form.h"
#include "ui/qt/qt_platform.h"
#include "ui/qt/resistance_dialog.h"
#include "ui/qt/simul_frame.h"
#include "ui/qt/text_dialog.h"
#include "ui/qt/ucp_form.h"

namespace tarnisk {

namespace {

const char* kStartMessage = "Tarnisk v1.0a - 18.02.98 starts...";
const char* kWelcome = "Welcome to Tarnisk v1.0a - 18.02.98";

const QString kLayoutFilter = "Layout (*.MSK *.msk)";
const QString kGdsFilter = "GDSII (*.GDS *.gds)";

// A file that is not a layout is named in a warning box as well.
void ReportOpen(Session& s, const LayoutReadResult& result) {
  ReportLayoutRead(s, result);
  if (result.notALayout) s.platform.ShowMessage("Warning", result.message, MessageButtons::Ok);
}

std::string Lower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string WithExtension(const std::string& name, const std::string& extension) {
  const std::string forced = ReplaceExtension(name, extension);
  if (std::filesystem::exists(forced)) return forced;
  const std::string lower = ReplaceExtension(name, Lower(extension));
  return std::filesystem::exists(lower) ? lower : forced;
}

Tmdiframe::Tmdiframe(Session& state, QtPlatform& platform, std::string defaultRules,
                     std::string helpFile)
    : state_(state),
      platform_(platform),
      defaultRules_(std::move(defaultRules)),
      helpFile_(std::move(helpFile)) {
  platform_.Attach(this);
  view_ = new LayoutView(state_, platform_, *this, this);
  setCentralWidget(view_);
  viewMos_ = new TFormViewMos(state_, this);
  textDialog_ = new tarnisk::TextDialog(this);
  resistanceDialog_ = new tarnisk::ResistanceDialog(*this, this);
  palette_ = new Palette(*this, this);
  duplicateDialog_ = new DuplicateDialog(state_, [this](bool) { Refresh(); }, this);
  stepMoveDialog_ = new StepMoveDialog(state_, [this] { Refresh(); }, this);
  cifForm_ = new TFormCif(state_, this);
  extractForm_ = new TFormExtract(state_, this);
  navigator_ = new TFormAnalysis(
      state_, [this](int code, const char* status) { EnterCommand(code, status); },
      [this] { Refresh(); }, this);
  generatorForm_ = new TFormGenerator(*this, this);
  simulFrame_ = new TsimulFrame(
      state_, [this] { extractForm_->Open(TFormExtract::kOptionsPage); }, this);
  processForm_ = new TFormProcess(state_, [this] { RedrawLayout(); }, this);
  ucpForm_ = new TFormUcp(state_, this);
  compilerFrame_ = new TCompilerFrame(state_, [this] { RedrawLayout(); }, this);
  verilogForm_ = new TverilogForm(state_, [this] { RedrawLayout(); }, this);
  emcForm_ = new TFormEmc(state_, [this] { RedrawLayout(); }, this);
  statistics_ = new TFormStatistics(state_, this);
  debug_ = new TFormDebug(this);
  version_ = new TFormVersion(state_, this);
  platform_.SetStatusListener([this](const std::string& text) { debug_->Append(text); });
  QObject::connect(palette_, &Palette::escapePressed, this,
                   [this] { KeyDown(state_, *this, Key::Escape); Refresh(); });
  BuildMenus();
  BuildToolBar();
  BuildPositionField();
  BuildDrcResults();
  statusBar()->installEventFilter(this);
}

bool Tmdiframe::eventFilter(QObject* watched, QEvent* event) {
  if (watched == statusBar() && event->type() == QEvent::MouseButtonPress)
    statusBar()->showMessage("Tarnisk v1.0 " + QTime::currentTime().toString("HH:mm:ss"), 3000);
  return QMainWindow::eventFilter(watched, event);
}

Tmdiframe::~Tmdiframe() { AttachSurface(state_, nullptr); }

void Tmdiframe::StartUp(const QStringList& arguments) {
  setWindowTitle("Tarnisk 1.0");
  ShowStatus(state_.platform, kStartMessage);
  state_.command.dragging = false;
  SetLayoutTitle(state_, "example");
  ResetDatabase(state_);
  ShowStatus(state_.platform, kWelcome);
  SetColourMode(state_);
  ViewAll(state_);
  if (arguments.size() > 1) {
    const std::string layout = WithExtension(arguments[1].toStdString(), "MSK");
    const LayoutReadResult read = OpenLayoutFile(state_, layout, ReadMode::Open);
    ReportOpen(state_, read);
    if (!read.notALayout) SetLayoutTitle(state_, layout);
  }
  const std::string rules =
      arguments.size() > 2 ? WithExtension(arguments[2].toStdString(), "RUL") : defaultRules_;
  LoadRuleFile(state_, rules);
  palette_->RefreshMetalLayers();
  ViewAll(state_);
  palette_->PlaceBeside(*this);
  Refresh();
}

// ---------------------------------------------------------------- menus

QAction* Tmdiframe::Item(QMenu* menu, const char* text, const char* shortcut,
                         std::function<void()> act, bool keepsMove) {
  QAction* action = menu->addAction(text);
  if (shortcut && *shortcut) action->setShortcut(QKeySequence(shortcut));
  connect(action, &QAction::triggered, this, [this, act, keepsMove] {
    if (platform_.InsideEventPump()) return;
    if (!keepsMove) EndPendingMove(state_, *this);
    act();
    Refresh();
  });
  return action;
}

QAction* Tmdiframe::CommandItem(QMenu* menu, const char* text, const char* shortcut, int code,
                                const char* status) {
  return Item(menu, text, shortcut, [this, code, status] { EnterCommand(code, status); });
}

void Tmdiframe::BuildMenus() {
  BuildFileMenu();
  BuildViewMenu();
  BuildEditMenu();
  BuildOtherMenus();
}

void Tmdiframe::BuildFileMenu() {
  QMenu* m = menuBar()->addMenu("&File");
  Item(m, "&New", "", [this] { NewLayout(); });
  Item(m, "&Open", "F3", [this] { OpenCommand(false); });
  Item(m, "&Insert", "", [this] {
    ShowStatus(state_.platform, "Insert file...");
    OpenCommand(true);
  });
  Item(m, "&Make Cif File", "", [this] {
    ShowStatus(state_.platform, "Convert \"" + state_.layout.wide.currentFileName + "\" into CIF");
    cifForm_->UpdateOptions(false);
    cifForm_->show();
    cifForm_->raise();
  });
  Item(m, "&Make Spice File", "", [this] { extractForm_->Open(TFormExtract::kOptionsPage); });
  Item(m, "&Save", "F2", [this] { SaveCommand(); });
  Item(m, "Save &As", "", [this] { SaveAsCommand(); });
  Item(m, "Select &Foundry", "", [this] { SelectFoundry(); });
  Item(m, "Monochrom/Color", "", [this] { ToggleDisplayMode(); });
  Item(m, "Statistics", "", [this] { OpenStatistics(); });
  Item(m, "Print Layout", "", [this] { PrintLayout(state_); });
  Item(m, "&Leave Tarnisk", "Ctrl+Q", [this] { close(); });
}

void Tmdiframe::BuildViewMenu() {
  QMenu* m = menuBar()->addMenu("&View");
  Item(m, "&Unselect All", "", [this] { RedrawClean(state_); });
  Item(m, "View &All", "Ctrl+A", [this] { ViewAll(state_); });
  Item(m, "View Same", "", [this] { Redraw(state_); });
  CommandItem(m, "&Zoom In", "Ctrl+Z", kCommandZoomIn, "Select the area to zoom in...");
  Item(m, "Zoom &Out", "Ctrl+O", [this] {
    if (state_.command.command != kCommandMoveTarget) ZoomOut(state_);
  }, true);
  Item(m, "&Previous Zoom", "Ctrl+B", [this] { PreviousZoom(state_); });
  Item(m, "&Protect all", "", [this] { palette_->ProtectAll(); });
  Item(m, "Unprotect All", "Ctrl+U", [this] { palette_->UnprotectAll(); });
  Item(m, "&Measurements", "Ctrl+N", [this] { viewMos_->OpenWithMeasurement(); });
  CommandItem(m, "View &Node", "", kCommandViewNode, "In the drawing, select the node to view...");
  CommandItem(m, "View &Interconnect", "Ctrl+I", kCommandViewInterconnect,
              "Click in the layout the interconnect...");
  Item(m, "MOS List", "", [this] {
    EnsureExtracted(state_);
    UpdateListMos(state_, -1);
    state_.navigator.listAllDevices = true;
    OpenNavigator(kNavigatorDevices);
  });
  Item(m, "Process Aspect", "", [this] { StartProcessView(); });
}

void Tmdiframe::BuildEditMenu() {
  QMenu* m = menuBar()->addMenu("&Edit");
  Item(m, "&Undo", "", [this] { Undo(state_); });
  CommandItem(m, "Cut", "Ctrl+X", kCommandCut,
              "Select in the drawing the portion of layout to cut... ");
  CommandItem(m, "&Copy", "Ctrl+C", kCommandCopySelect,
              "Select in the drawing the elements to copy ...");
  Item(m, "&Paste", "Ctrl+V", [this] { StartPaste(state_, *this); });
  CommandItem(m, "&Flip <->", "", kCommandFlip,
              "Select in the drawing the elements to flip in Y axis...");
  CommandItem(m, "&Rotate 90\xC2\xB0", "Ctrl+R", kCommandRotate, "Select the drawing to rotate...");
  CommandItem(m, "&Move Area or Strtech", "", kCommandMoveSelect,
              "In the drawing, click the border of the box to stretch...");
  CommandItem(m, "Move &Step by Step", "", kCommandStepMove,
              "In the layout, select the area to move ...");
  CommandItem(m, "Duplicate X Y", "", kCommandDuplicate,
              "Select in the drawing the portion of layout to duplicate in X Y... ");
  Item(m, "&Text", "", [this] {
    state_.command.propertyTool = kToolText;
    EnterCommand(kCommandText, "Edit Text...");
  });
  Item(m, "Search Text", "", [this] {
    EnsureExtracted(state_);
    UpdateListNodes(state_);
    OpenNavigator(kNavigatorNodes);
  });
  CommandItem(m, "Measure &Distance", "", kCommandRuler,
              "Create a point-to-point line in the drawing ...");
  Item(m, "Node Properties", "", [this] {
    state_.command.propertyTool = kToolText;
    EnterCommand(kCommandText, "Fix the text location with the cursor...");
  });
  Item(m, "Contact", "", [this] { ShowCellGenerator(GeneratorPage::Contacts, false); });
  Item(m, "Transistor", "", [this] { ShowCellGenerator(GeneratorPage::Mos, false); });
  Item(m, "IO Pads", "", [this] { ShowCellGenerator(GeneratorPage::Pads, false); });
}

void Tmdiframe::BuildOtherMenus() {
  QMenu* sim = menuBar()->addMenu("&Simulate");
  Item(sim, "&Start Simulation", "Ctrl+S", [this] { simulFrame_->StartSimulation(); });
  Item(sim, "Simulation on &Layout", "", [this] {
    simulFrame_->SimulateOnLayout([this] { view_->update(); });
  })->setVisible(false);
  Item(sim, "MOS characteristics", "", [this] { OpenMosViewer(); });
  Item(sim, "Simulate Options", "", [this] { extractForm_->Open(TFormExtract::kOptionsPage); });
  Item(sim, "Vdd Supply, Temperature", "", [this] { extractForm_->Open(TFormExtract::kModelsPage); });
  Item(sim, "Extract Circuit", "", [this] { extractForm_->Open(TFormExtract::kOptionsPage); });
  Item(sim, "Arrange the Layout", "", [this] { ArrangeLayout(state_); });
  QMenu* compile = menuBar()->addMenu("&Compile");
  Item(compile, "&Compile one Line", "", [this] { compilerFrame_->Open(); });
  Item(compile, "Compile &Verilog File", "", [this] { OpenVerilogFile(); });
  QMenu* analysis = menuBar()->addMenu("&Analysis");
  Item(analysis, "Design Rule Checker", "", [this] { RunDesignRuleChecker(); });
  Item(analysis, "Find Floating Nodes", "", [this] { ReportFloatingNodes(state_); });
  Item(analysis, "Navigator", "", [this] { OpenNavigator(state_.navigator.page); });
  // The GEO file is written from the process viewer, which this entry
  // would open too; it stays hidden. The UCP export has no other way in,
  // so its entry is shown.
  Item(analysis, "2D geometry (GEO)", "", [this] { StartProcessView(); })->setVisible(false);
  Item(analysis, "3D geometry (UCP)", "", [this] { ucpForm_->Open(); });
  analysis->addSeparator()->setVisible(false);
  Item(analysis, "Parametric Analysis", "", [this] {
    ShowStatus(state_.platform, "Select a node in the layout ...");
    EnterCommand(kCommandParametric, "");
  });
  Item(analysis, "Debug", "", [this] {
    debug_->SetLogging(true);
    debug_->show();
    debug_->raise();
  });
  QMenu* help = menuBar()->addMenu("&Help");
  Item(help, "Help &Index", "", [this] { ShowHelp(); });
  Item(help, "About", "", [this] { version_->Open(); });
}

void Tmdiframe::BuildToolBar() {
  QToolBar* bar = addToolBar("Tools");
  bar->setMovable(false);
  commandGroup_ = new QActionGroup(this);
  auto command = [&](const char* hint, int code, const char* status) {
    QAction* a = bar->addAction(hint);
    a->setToolTip(hint);
    a->setCheckable(true);
    commandGroup_->addAction(a);
    commandButtons_[code] = a;
    connect(a, &QAction::triggered, this, [this, code, status] {
      if (platform_.InsideEventPump()) return;
      if (code == kCommandText) state_.command.propertyTool = kToolText;
      EnterCommand(code, status);
      Refresh();
    });
  };
  // Zoom out and the pan arrows keep a pending move; the others end it.
  auto plain = [&](const char* hint, std::function<void()> act, bool keepsMove = false) {
    QAction* a = bar->addAction(hint);
    a->setToolTip(hint);
    connect(a, &QAction::triggered, this, [this, act, keepsMove] {
      if (platform_.InsideEventPump()) return;
      if (!keepsMove) EndPendingMove(state_, *this);
      act();
      Refresh();
    });
  };
  plain("View All", [this] { ViewAll(state_); });
  command("Text", kCommandText, "Fix the text location with the cursor...");
  command("Zoom In", kCommandZoomIn, "Select the area to zoom in...");
  plain("Zoom Out", [this] {
    if (state_.command.command != kCommandMoveTarget) ZoomOut(state_);
  }, true);
  command("Draw Box", kCommandDrawBox, "");
  plain("Chip Lib", [this] {
    ShowStatus(state_.platform, "Show cell generator menu...");
    ShowCellGenerator(generatorForm_->CurrentPage(), false);
  });
  command("Stretch, Move", kCommandMoveSelect, "In the layout, give the box border to stretch...");
  command("Process View", kCommandProcessView, "");
  connect(commandButtons_[kCommandProcessView], &QAction::triggered, this, [this] {
    if (!platform_.InsideEventPump()) StartProcessView();
  });
  plain("Open File", [this] { OpenCommand(false); });
  plain("Save File", [this] { SaveCommand(); });
  command("View Node", kCommandViewNode, "In the drawing, select the node to view...");
  command("Copy", kCommandCopySelect, "Select in the drawing the elements to copy ...");
  command("Ruler", kCommandRuler, "Create a point-to-point line in the drawing ...");
  plain("Simulate", [this] { simulFrame_->StartSimulation(); });
  command("Cut", kCommandCut, "Select in the drawing the portion of layout to cut... ");
  plain("Design Rule Checker", [this] { RunDesignRuleChecker(); });
  plain("Show Palette", [this] {
    ShowStatus(state_.platform, "Show palette menu...");
    palette_->show();
    palette_->raise();
  });
  plain("MOS", [this] { OpenMosViewer(); });
  plain("\xE2\x86\x90", [this] { KeyDown(state_, *this, Key::Left); }, true);
  plain("\xE2\x86\x92", [this] { KeyDown(state_, *this, Key::Right); }, true);
  plain("\xE2\x86\x91", [this] { KeyDown(state_, *this, Key::Up); }, true);
  plain("\xE2\x86\x93", [this] { KeyDown(state_, *this, Key::Down); }, true);
  // The hidden "None" button: pressed when no command is active.
  noneButton_ = new QAction("None", this);
  noneButton_->setCheckable(true);
  commandGroup_->addAction(noneButton_);
  commandButtons_[kCommandNone] = noneButton_;
}

// ---------------------------------------------------------------- commands

void Tmdiframe::CommandChanged() {
  const int code = state_.command.command;
  const int shown = code == kCommandCopyTarget ? kCommandCopySelect
                    : code == kCommandMoveTarget || code == kCommandStretchTarget
                        ? kCommandMoveSelect
                        : code;
  const auto it = commandButtons_.find(shown);
  if (it != commandButtons_.end()) it->second->setChecked(true);
  else if (QAction* checked = commandGroup_->checkedAction()) checked->setChecked(false);
}

void Tmdiframe::ShowDuplicateDialog(const DuplicateSelection& selection) {
  Refresh();
  duplicateDialog_->Open(selection);
  EnterCommand(kCommandNone, "");
}

void Tmdiframe::ShowStepMoveDialog(const StepMoveSelection& selection) {
  ShowStatus(state_.platform, "Use the arrows to move the " + std::to_string(selection.count) +
                                  " boxes and text with a lambda step.");
  Refresh();
  stepMoveDialog_->Open(selection);
}

TextDialogUi& Tmdiframe::TextDialog() { return *textDialog_; }
ResistanceDialogUi& Tmdiframe::ResistanceDialog() { return *resistanceDialog_; }
void Tmdiframe::ReleasePaletteTools() { palette_->ReleaseToolButtons(); }

void Tmdiframe::ShowProcessSection(Point a, Point b) { processForm_->Open(a, b); }

void Tmdiframe::ShowParametricAnalysis(Point a, Point b) { emcForm_->Open(a, b); }

void Tmdiframe::StartProcessView() {
  ShowStatus(state_.platform, "3D Process Viewer");
  EnterCommand(kCommandProcessView,
               "Draw with the mouse the line indicating where the vertical process must be shown...");
}

void Tmdiframe::NavigatorChanged() {
  Refresh();
  navigator_->ShowNavigator();
}

void Tmdiframe::OpenMosViewer() { viewMos_->Open(); }

void Tmdiframe::OpenNavigator(int page) {
  state_.navigator.page = page;
  navigator_->ShowNavigator();
  Refresh();
}

void Tmdiframe::OpenStatistics() {
  statistics_->UpdateOptions();
  statistics_->open();
}

void Tmdiframe::EnterCommand(int code, const std::string& status) {
  tarnisk::EnterCommand(state_, *this, code, status);
  Refresh();
}

void Tmdiframe::EndPlacement() {
  palette_->ReleaseToolButtons();
  EnterCommand(kCommandDrawBox, "");
}

void Tmdiframe::BringToFront() {
  raise();
  // The palette overlaps the window's right edge; it stays above it even
  // where no window manager keeps tool windows on top.
  if (palette_->isVisible()) palette_->raise();
  activateWindow();
}

void Tmdiframe::RedrawLayout() {
  Redraw(state_);
  Refresh();
}

void Tmdiframe::ShowCellGenerator(GeneratorPage page, bool modal) {
  generatorForm_->Open(page, modal);
}

void Tmdiframe::Refresh() {
  view_->ShowImage();
  ShowModified();
}

void Tmdiframe::OpenVerilogFile() {
  ResetCommand();
  const QString file = QFileDialog::getOpenFileName(this, "Open", lastDirectory_,
                                                    "Text Files (*.txt);;All Files (*.*)");
  // A name shorter than 5 characters is no file the window loads.
  if (file.size() < 5) return;
  lastDirectory_ = QFileInfo(file).absolutePath();
  verilogForm_->UpdateOptions(file.toStdString());
  verilogForm_->exec();
}

void Tmdiframe::ResetCommand() { EnterCommand(kCommandNone, ""); }

void Tmdiframe::RunDesignRuleChecker() {
  ResetCommand();
  OpenViolationList();
  ListViolations(DesignRuleCheckerCommand(state_));
  EnterCommand(kCommandDrawBox, "");
}

// ---------------------------------------------------------------- files

int Tmdiframe::AskSaveIfModified() {
  if (!state_.layout.wide.modified) return 0;
  const MessageAnswer a = state_.platform.ShowMessage("Warning", "Do you want to save this file ?",
                                                      MessageButtons::YesNoCancel);
  if (a == MessageAnswer::Cancel) return 2;
  if (a == MessageAnswer::No) return 1;
  SaveCommand();
  return state_.layout.wide.modified ? 2 : 0;  // a failed save must not drop the layout
}

void Tmdiframe::NewLayout() {
  if (AskSaveIfModified() == 2) return;
  ReleaseAll(state_.layout);
  SetLayoutTitle(state_, "Example.msk");
  ResetTextTimes(state_);
  LayoutReplaced();
  Redraw(state_);
}

bool Tmdiframe::OpenLayout(const std::string& path, bool insert) {
  // A file that is not a layout leaves the drawing as it is.
  const bool msk = LayoutFormatOf(path).value_or(LayoutFormat::Msk) == LayoutFormat::Msk;
  if (msk && FileIsNotALayout(path)) {
    ReportOpen(state_, NotALayout(path));
    return false;
  }
  if (!insert) {
    ReleaseAll(state_.layout);
    SetLayoutTitle(state_, "Example.msk");
    ResetTextTimes(state_);
    LayoutReplaced();
  }
  const bool ok = OpenAnyLayoutFile(state_, path, insert ? ReadMode::InsertBeside : ReadMode::Open);
  if (insert) state_.layout.wide.modified = 1;
  else if (ok) SetLayoutTitle(state_, path);
  ViewAll(state_);
  ShowModified();
  return ok;
}

void Tmdiframe::OpenCommand(bool insert) {
  ResetCommand();
  if (!insert && AskSaveIfModified() == 2) return;
  const QString file = QFileDialog::getOpenFileName(
      this, insert ? "Insert" : "Open", lastDirectory_,
      "Layouts (*.MSK *.msk *.GDS *.gds *.CIF *.cif);;MSK (*.MSK *.msk);;GDSII (*.GDS *.gds);;"
      "CIF (*.CIF *.cif);;All files (*)");
  if (file.isEmpty()) return;
  lastDirectory_ = QFileInfo(file).absolutePath();
  OpenLayout(file.toStdString(), insert);
}

bool Tmdiframe::SaveLayout(const std::string& path) {
  ShowStatus(state_.platform, "Save \"" + path + "\"");
  const bool saved = SaveAnyLayoutFile(state_, path);
  ShowModified();
  return saved;
}

void Tmdiframe::SaveCommand() {
  const std::string& name = state_.layout.wide.currentFileName;
  // A layout that never had a file of its own goes through Save As.
  if (name == "example" || name == "Example.msk") SaveAsCommand();
  else SaveLayout(name);
}

void Tmdiframe::SaveAsCommand() {
  std::filesystem::current_path(state_.layout.wide.programDirectory);
  QFileDialog dialog(this, "Save As", lastDirectory_, kLayoutFilter);
  dialog.setNameFilters({kLayoutFilter, kGdsFilter});
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  std::string name = dialog.selectedFiles().first().toStdString();
  const bool gds = dialog.selectedNameFilter() == kGdsFilter;
  const std::string extension = Lower(std::filesystem::path(name).extension().string());
  if (gds && extension != ".gds") name = ReplaceExtension(name, "gds");
  if (!gds && extension != ".msk" && extension != ".gds") name = ReplaceExtension(name, "MSK");
  if (std::filesystem::exists(name) &&
      state_.platform.ShowMessage("Warning", "This file already exist. Will you overwrite it?",
                                  MessageButtons::OkCancel) != MessageAnswer::Ok) {
    ShowStatus(state_.platform, "Write canceled by user...");
    return;
  }
  lastDirectory_ = QFileInfo(QString::fromStdString(name)).absolutePath();
  SaveLayout(name);
}

void Tmdiframe::SelectFoundry() {
  ShowStatus(state_.platform, "Select a Rule file");
  ResetCommand();
  const QString file = QFileDialog::getOpenFileName(this, "Select Foundry", lastDirectory_,
                                                    "Rule File (*.RUL *.rul);;All files (*)");
  if (file.isEmpty()) return;
  debug_->SetLogging(true);
  state_.layout.wide.extracted = 0;
  LoadRuleFile(state_, file.toStdString());
  palette_->RefreshMetalLayers();
  ShowStatus(state_.platform, "The current technology is  \"" + file.toStdString() + "\", " +
                                  " power supply " + FormatFixed(state_.technology.VDD, 5, 2) +
                                  "V");
  Redraw(state_);
}

void Tmdiframe::ToggleDisplayMode() {
  ShowStatus(state_.platform, "Menu Options");
  if (state_.view.colourMode) SetMonochromeMode(state_);
  else SetColourMode(state_);
  Redraw(state_);
}

bool Tmdiframe::ConfirmLeave() {
  if (state_.layout.wide.modified &&
      state_.platform.ShowMessage("Warning : layout modified",
                                  "Shall I save the layout before leaving ?",
                                  MessageButtons::YesNo) == MessageAnswer::Yes) {
    SaveCommand();
    if (state_.layout.wide.modified) return false;  // the save failed or was cancelled
  }
  return state_.platform.ShowMessage("Warning", "Do you leave me?", MessageButtons::YesNo) ==
         MessageAnswer::Yes;
}

void Tmdiframe::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::ActivationChange || isActiveWindow()) return;
  if (platform_.InsideEventPump() || state_.command.command != kCommandMoveTarget) return;
  EndPendingMove(state_, *this);
  Refresh();
}

void Tmdiframe::closeEvent(QCloseEvent* event) {
  if (platform_.InsideEventPump() || !ConfirmLeave()) {
    event->ignore();
    return;
  }
  ReleaseAll(state_.layout);
  event->accept();
}

void Tmdiframe::ShowHelp() { OpenHelpWindow(helpFile_); }

// ---------------------------------------------------------------- aids beside the commands

void Tmdiframe::BuildPositionField() {
  positionField_ = new QLabel(statusBar());
  positionField_->setObjectName("PositionField");
  positionField_->setMinimumWidth(260);
  positionField_->setToolTip("Pointer position in lambda and in \xC2\xB5m");
  statusBar()->addPermanentWidget(positionField_);
  view_->pointerMoved = [this](Point pixel) {
    positionField_->setText(QString::fromStdString(PointerPosition(state_, pixel)));
  };
  view_->inputHandled = [this] { ShowModified(); };
}

void Tmdiframe::ShowModified() { platform_.ShowModified(state_.layout.wide.modified != 0); }

void Tmdiframe::BuildDrcResults() {
  drcResults_ = new DrcResults(state_, platform_, [this] { Refresh(); }, this);
  drcResults_->hide();
  addDockWidget(Qt::RightDockWidgetArea, drcResults_);
}

void Tmdiframe::OpenViolationList() {
  constexpr int kListWidth = 540;
  drcResults_->Clear("Checking...");
  listOpenedForCheck_ = !drcResults_->isVisible();
  if (!listOpenedForCheck_) return;
  drcResults_->show();
  if (!drcResults_->isFloating()) resizeDocks({drcResults_}, {kListWidth}, Qt::Horizontal);
  layout()->activate();  // the drawing takes its new size now, not during the check
}

// The check the user ran stops at the first rule broken; the list comes
// from a second run through every check, which leaves the status line alone.
// A list opened for a check that found nothing closes again: an empty list
// would only take half of the drawing.
void Tmdiframe::ListViolations(const DrcReport& report) {
  if (report.errorCount == 0) drcResults_->ShowReport(report);
  else drcResults_->ShowReport(ListEveryViolation(state_));
  if (report.errorCount == 0 && listOpenedForCheck_) drcResults_->hide();
}

// Whatever the tool windows showed of the old layout, and the old verdict,
// would now mislead.
void Tmdiframe::LayoutReplaced() {
  ShowStatus2(state_.platform, "");
  // Found first: a window's refresh may delete children of its own.
  std::vector<LayoutFollower*> followers;
  for (QObject* child : findChildren<QObject*>())
    if (auto* follower = dynamic_cast<LayoutFollower*>(child)) followers.push_back(follower);
  for (LayoutFollower* follower : followers) follower->LayoutReplaced();
}

}  // namespace tarnisk
