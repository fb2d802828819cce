#include "ui/qt/generator_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <charconv>

#include "core/number_format.h"
#include "core/parse_number.h"
#include "session/session.h"
#include "ui/qt/editor_host.h"

namespace tarnisk {

namespace {

const char* const kMicrons = "\xC2\xB5m";

constexpr const char* kPageNames[] = {"Pads", "Inductor", "Contacts", "Bus", "MOS", "Path", "Logo"};

// The contact kinds in the order of "Contact Type".
constexpr int kContactKindItems[] = {kContactDiffn, kContactDiffp, kContactPoly, kContactVia,
                                     kContactVia2,  kContactVia3,  kContactVia4};
constexpr int kMetalItems[] = {kMetal, kMetal2, kMetal3, kMetal4, kMetal5};
// "Metal ", "Metal 2" ... "Metal 5", then the two polarization paths.
constexpr int kPathLayerItems[] = {kMetal, kMetal2, kMetal3, kMetal4, kMetal5, kDiffn, kDiffp};

template <size_t N>
int IndexOf(const int (&items)[N], int value) {
  for (size_t i = 0; i < N; ++i)
    if (items[i] == value) return int(i);
  return 0;
}

QString Text(const std::string& s) { return QString::fromStdString(s); }

// A real as the fields show it: no trailing zeros.
std::string Real(double v) {
  std::string text = FormatFixed(v, 1, 3);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

// A status message that does not depend on the value.
std::function<std::string(int)> Say(const char* text) {
  return [text](int) { return std::string(text); };
}

std::optional<int> Integer(const std::string& text) {
  int v = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

}  // namespace

TFormGenerator::TFormGenerator(EditorHost& host, QWidget* parent) : QDialog(parent), host_(host) {
  setObjectName("TFormGenerator");
  setWindowTitle("Layout Generator");
  auto* column = new QVBoxLayout(this);
  pageControl_ = new QTabWidget(this);
  pageControl_->setObjectName("PageControl");
  QWidget* pages[] = {BuildPadsPage(), BuildInductorPage(), BuildContactsPage(), BuildBusPage(),
                      BuildMosPage(),  BuildPathPage(),     BuildLogoPage()};
  for (size_t i = 0; i < std::size(pages); ++i) pageControl_->addTab(pages[i], kPageNames[i]);
  column->addWidget(pageControl_);
  labelWarning_ = new QLabel(this);
  labelWarning_->setObjectName("LabelWarning");
  labelWarning_->setStyleSheet("color: red");
  labelWarning_->setWordWrap(true);
  column->addWidget(labelWarning_);
  auto* buttons = new QHBoxLayout();
  btnOK_ = new QPushButton(this);
  btnOK_->setObjectName("btnOK");
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("btnCancel");
  buttons->addWidget(btnOK_);
  buttons->addWidget(cancel);
  column->addLayout(buttons);
  connect(btnOK_, &QPushButton::clicked, this, [this] { btnOKClick(); });
  connect(cancel, &QPushButton::clicked, this, [this] { close(); });
  connect(pageControl_, &QTabWidget::currentChanged, this, [this] {
    btnOK_->setText(GenerateCaption(CurrentPage()));
    ShowWarning();
  });
  btnOK_->setText(GenerateCaption(CurrentPage()));
  resize(420, 380);
}

// ---------------------------------------------------------------- fields

void TFormGenerator::Changed(const std::string& status) {
  if (!status.empty()) ShowStatus(host_.State().platform, status);
  ShowWarning();
}

QLineEdit* TFormGenerator::IntegerField(QFormLayout* form, const char* name, const char* caption,
                                        int minimum, std::function<int&(GeneratorSettings&)> field,
                                        Status status) {
  auto* edit = new QLineEdit(form->parentWidget());
  edit->setObjectName(name);
  form->addRow(caption, edit);
  GeneratorSettings& settings = host_.State().generator.settings;
  refreshers_.push_back([=, &settings] { edit->setText(QString::number(field(settings))); });
  connect(edit, &QLineEdit::textChanged, this, [=, this, &settings](const QString& text) {
    if (refreshing_) return;
    const std::optional<int> v = Integer(text.trimmed().toStdString());
    if (!v) {
      Changed("'" + text.toStdString() + "' is not a valid integer value");
      return;
    }
    field(settings) = std::max(*v, minimum);
    Changed(status(field(settings)));
  });
  return edit;
}

QLineEdit* TFormGenerator::RealField(QFormLayout* form, const char* name, const char* caption,
                                     std::function<double&(GeneratorSettings&)> field,
                                     std::string status) {
  auto* edit = new QLineEdit(form->parentWidget());
  edit->setObjectName(name);
  form->addRow(caption, edit);
  GeneratorSettings& settings = host_.State().generator.settings;
  refreshers_.push_back([=, &settings] { edit->setText(Text(Real(field(settings)))); });
  connect(edit, &QLineEdit::textChanged, this, [=, this, &settings](const QString& text) {
    if (refreshing_) return;
    const ParsedNumber v = ParseNumber(text.toStdString(), 0.001, 1e6, field(settings));
    if (v.ok) field(settings) = v.value;
    Changed(status);
  });
  return edit;
}

void TFormGenerator::Choice(QFormLayout* form, const char* name, const char* caption,
                            std::vector<const char*> items, bool combo,
                            std::function<int(const GeneratorSettings&)> index,
                            std::function<void(GeneratorSettings&, int)> choose, Status status) {
  GeneratorSettings& settings = host_.State().generator.settings;
  // A choice may change other fields (a pad option sets the pad size).
  const auto chosen = [=, this, &settings](int item) {
    if (refreshing_ || item < 0) return;
    choose(settings, item);
    UpdateOptions();
    Changed(status(item));
  };
  if (combo) {
    auto* box = new QComboBox(form->parentWidget());
    box->setObjectName(name);
    for (const char* item : items) box->addItem(item);
    form->addRow(caption, box);
    refreshers_.push_back([=, &settings] { box->setCurrentIndex(index(settings)); });
    connect(box, &QComboBox::currentIndexChanged, this, chosen);
    return;
  }
  auto* holder = new QWidget(form->parentWidget());
  auto* row = new QHBoxLayout(holder);
  row->setContentsMargins(0, 0, 0, 0);
  auto* group = new QButtonGroup(holder);
  group->setObjectName(name);
  for (size_t i = 0; i < items.size(); ++i) {
    auto* radio = new QRadioButton(items[i], holder);
    group->addButton(radio, int(i));
    row->addWidget(radio);
  }
  form->addRow(caption, holder);
  refreshers_.push_back([=, &settings] {
    if (QAbstractButton* b = group->button(index(settings))) b->setChecked(true);
  });
  connect(group, &QButtonGroup::idClicked, this, chosen);
}

// ---------------------------------------------------------------- pages

QWidget* TFormGenerator::BuildPadsPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  using S = GeneratorSettings;
  const std::string pad = std::string("Single pad (30x30 ") + kMicrons + ")";
  Choice(
      form, "RadioPads", "", {"Pad ring ", pad.c_str(), "Single pad :"}, false,
      [](const S& s) { return int(s.pads.choice); },
      [](S& s, int item) {
        s.pads.choice = PadChoice(item);
        if (s.pads.choice == PadChoice::Ring) s.pads.sizeMicrons = 100;
        if (s.pads.choice == PadChoice::SmallPad) s.pads.sizeMicrons = 30;
      },
      Say("Change default pad size..."));
  RealField(
      form, "EditPadSize",
      "Pad size (\xC2\xB5m) :", [](S& s) -> double& { return s.pads.sizeMicrons; },
      "Change default pad size...");
  IntegerField(
      form, "EditPadsX", "Pads in X :", 0, [](S& s) -> int& { return s.pads.padsX; },
      [](int n) { return "The chip has " + std::to_string(n) + " pads in X."; });
  IntegerField(
      form, "EditPadsY", "Pads in Y :", 0, [](S& s) -> int& { return s.pads.padsY; },
      [](int n) { return "The chip has " + std::to_string(n) + " pads in Y."; });
  labelTotal_ = new QLabel(page);
  labelTotal_->setObjectName("LabelTotal");
  form->addRow("", labelTotal_);
  RealField(
      form, "EditRingWidth",
      "Ring Width :", [](S& s) -> double& { return s.pads.ringWidthMicrons; }, "");
  auto* load = new QPushButton("Load pad file", page);
  load->setObjectName("btnLoadPads");
  labelPadFile_ = new QLabel(page);
  labelPadFile_->setObjectName("LabelPadFile");
  form->addRow(load, labelPadFile_);
  connect(load, &QPushButton::clicked, this, [this] { btnLoadPadsClick(); });
  return page;
}

QWidget* TFormGenerator::BuildInductorPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  using S = GeneratorSettings;
  IntegerField(
      form, "EditTurns", "Turns :", 1, [](S& s) -> int& { return s.inductor.turns; }, Say(""));
  IntegerField(
      form, "EditInductorWidth", "Width :", 1, [](S& s) -> int& { return s.inductor.width; },
      Say(""));
  IntegerField(
      form, "EditInductorSpacing", "Spacing :", 1, [](S& s) -> int& { return s.inductor.spacing; },
      Say(""));
  GeneratorSettings& settings = host_.State().generator.settings;
  for (size_t m = 0; m < kInductorLayers.size(); ++m) {
    const std::string caption = m == 0 ? "Metal 1" : "Metal " + std::to_string(m + 1);
    auto* check = new QCheckBox(Text(caption), page);
    check->setObjectName(Text("CheckMetal" + std::to_string(m + 1)));
    form->addRow("", check);
    refreshers_.push_back([=, &settings] { check->setChecked(settings.inductor.onLayer[m]); });
    connect(check, &QCheckBox::toggled, this, [=, this, &settings](bool on) {
      if (refreshing_) return;
      settings.inductor.onLayer[m] = on;
      Changed(m == 0 ? "Validate metal" : "Validate metal" + std::to_string(m + 1));
    });
  }
  return page;
}

QWidget* TFormGenerator::BuildContactsPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  using S = GeneratorSettings;
  Choice(
      form, "ComboContact", "Contact Type",
      {"Diffn/Metal", "Diffp/Metal", "Poly/Metal", "Metal/Metal2", "Metal2/Metal3", "Metal3/Metal4",
       "Metal4/Metal5"},
      true, [](const S& s) { return IndexOf(kContactKindItems, s.contacts.kind); },
      [](S& s, int item) { s.contacts.kind = kContactKindItems[item]; },
      [this](int item) {
        const int kind = kContactKindItems[item];
        ShowStatus(host_.State().platform, "Change contact selection");
        if (kind < kContactVia) return std::string();
        return "Contact metal/" + std::to_string(kind / 2 - 2) + " selected.";
      });
  IntegerField(
      form, "EditRows", "Rows :", 1, [](S& s) -> int& { return s.contacts.rows; },
      Say("Change rows"));
  IntegerField(
      form, "EditColumns", "Columns :", 1, [](S& s) -> int& { return s.contacts.columns; },
      Say("Change Columns"));
  Choice(
      form, "RadioPolarization", "Add Polarization",
      {"None", "Diff N+ on Nwell", "Diff P+ on Psubstrate"}, false,
      [](const S& s) { return int(s.contacts.polarization); },
      [](S& s, int item) { s.contacts.polarization = Polarization(item); },
      Say("Change polarization"));
  return page;
}

QWidget* TFormGenerator::BuildBusPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  using S = GeneratorSettings;
  Choice(
      form, "ComboBusLayer", "Layer", {"Metal", "Metal2", "Metal3", "Metal4", "Metal5"}, true,
      [](const S& s) { return IndexOf(kMetalItems, s.bus.layer); },
      [](S& s, int item) { s.bus.layer = kMetalItems[item]; }, Say("Change bus layer"));
  IntegerField(
      form, "EditBusWidth", "Width :", 1, [](S& s) -> int& { return s.bus.width; },
      Say("Change bus width"));
  IntegerField(
      form, "EditBusSpacing", "Spacing :", 0, [](S& s) -> int& { return s.bus.spacing; },
      Say("Change bus spacing"));
  IntegerField(
      form, "EditBusRepeat", "Repeat :", 1, [](S& s) -> int& { return s.bus.repeat; },
      Say("Change bus repeat"));
  IntegerField(
      form, "EditBusLength", "Length :", 1, [](S& s) -> int& { return s.bus.length; },
      Say("Change bus length"));
  Choice(
      form, "RadioBusOrientation", "", {"Horizontal", "Vertical"}, false,
      [](const S& s) { return int(s.bus.orientation); },
      [](S& s, int item) { s.bus.orientation = Orientation(item); }, Say("Change bus orientation"));
  return page;
}

QWidget* TFormGenerator::BuildMosPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  using S = GeneratorSettings;
  RealField(
      form, "EditMosWidth", "Width MOS (\xC2\xB5m)",
      [](S& s) -> double& { return s.mos.widthMicrons; }, "Set mos width to");
  RealField(
      form, "EditMosLength", "Length MOS (\xC2\xB5m)",
      [](S& s) -> double& { return s.mos.lengthMicrons; }, "Set mos length to");
  IntegerField(
      form, "EditMosGates", "Nbr of Gates", 1, [](S& s) -> int& { return s.mos.gates; },
      Say("Set mos gates to"));
  Choice(
      form, "RadioMosOrientation", "", {"Horizontal", "Vertical"}, false,
      [](const S& s) { return int(s.mos.orientation); },
      [](S& s, int item) { s.mos.orientation = Orientation(item); }, Say("Change MOS orientation"));
  Choice(
      form, "RadioMosType", "", {"n-Channel", "p-Channel"}, false,
      [](const S& s) { return int(s.mos.type); },
      [](S& s, int item) { s.mos.type = MosType(item); }, Say("Change mos type..."));
  return page;
}

QWidget* TFormGenerator::BuildPathPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  using S = GeneratorSettings;
  Choice(
      form, "ComboPathLayer", "Layer",
      {"Metal ", "Metal 2", "Metal 3", "Metal 4", "Metal 5", "Metal+Diffn polarization",
       "Metal+Diffp polarization"},
      true, [](const S& s) { return IndexOf(kPathLayerItems, s.path.layer); },
      [](S& s, int item) { s.path.layer = kPathLayerItems[item]; }, Say("Select metal for path"));
  IntegerField(
      form, "EditPathWidth", "Width (lambda) :", 1, [](S& s) -> int& { return s.path.width; },
      Say(""));
  IntegerField(
      form, "EditPathContacts", "Contacts :", 1, [](S& s) -> int& { return s.path.contacts; },
      Say("Set contact number to"));
  GeneratorSettings& settings = host_.State().generator.settings;
  const auto check = [&](const char* name, const char* caption, bool PathSettings::*flag,
                         std::function<std::string(bool)> status) {
    auto* box = new QCheckBox(caption, page);
    box->setObjectName(name);
    form->addRow("", box);
    refreshers_.push_back([=, &settings] { box->setChecked(settings.path.*flag); });
    connect(box, &QCheckBox::toggled, this, [=, this, &settings](bool on) {
      if (refreshing_) return;
      settings.path.*flag = on;
      Changed(status(on));
    });
  };
  check("CheckPathEnds", "Add contacts at path Ends", &PathSettings::contactsAtEnds,
        [](bool on) { return on ? "Auto contact option ON" : "Auto contact option OFF"; });
  check("CheckPathGrid", "Align to Routing Grid", &PathSettings::alignToGrid,
        [](bool) { return "Align path to grid ..."; });
  return page;
}

QWidget* TFormGenerator::BuildLogoPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  using S = GeneratorSettings;
  auto* text = new QLineEdit(page);
  text->setObjectName("EditLogoText");
  form->addRow("Text :", text);
  GeneratorSettings& settings = host_.State().generator.settings;
  refreshers_.push_back([=, &settings] { text->setText(Text(settings.logo.text)); });
  connect(text, &QLineEdit::textChanged, this, [=, this, &settings](const QString& value) {
    if (refreshing_) return;
    settings.logo.text = value.toStdString();
    Changed("");
  });
  RealField(
      form, "EditLetterSize",
      "Letter size (\xC2\xB5m) :", [](S& s) -> double& { return s.logo.letterSizeMicrons; }, "");
  std::vector<const char*> layers;
  const LayerTable& table = host_.State().layout.layers;
  for (int layer = 1; layer <= kLayerCount; ++layer) layers.push_back(table[layer].name.c_str());
  Choice(
      form, "ComboLogoLayer", "Layer", layers, true, [](const S& s) { return s.logo.layer - 1; },
      [](S& s, int item) { s.logo.layer = item + 1; }, Say(""));
  return page;
}

// ---------------------------------------------------------------- handlers

GeneratorPage TFormGenerator::CurrentPage() const {
  return GeneratorPage(pageControl_->currentIndex());
}

void TFormGenerator::Open(GeneratorPage page, bool modal) {
  UpdateOptions();
  pageControl_->setCurrentIndex(int(page));
  setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
  show();
  raise();
}

void TFormGenerator::UpdateOptions() {
  refreshing_ = true;
  for (const auto& refresh : refreshers_) refresh();
  refreshing_ = false;
  ShowPadCounts();
  ShowWarning();
}

void TFormGenerator::ShowPadCounts() {
  const GeneratorState& g = host_.State().generator;
  labelTotal_->setText(Text("(Total " + std::to_string(PadRingCount(g.settings.pads)) + " pads)"));
  labelPadFile_->setText(g.padFileLoaded ? "loaded..." : "");
}

void TFormGenerator::ShowWarning() {
  const Session& s = host_.State();
  const std::string warning =
      RuleWarning(StructureOf(s, CurrentPage()), s.generator.settings, s.technology);
  labelWarning_->setText(Text(warning));
  if (CurrentPage() == GeneratorPage::Pads) ShowPadCounts();
}

void TFormGenerator::btnOKClick() {
  const GeneratorPage page = CurrentPage();
  close();
  const GenerateStart start = GenerateFromPage(host_.State(), page);
  if (start.command != 0)
    host_.EnterCommand(start.command, start.prompt);
  else
    host_.RedrawLayout();
}

void TFormGenerator::btnLoadPadsClick() {
  ShowStatus(host_.State().platform, "Load config file");
  const QString file = QFileDialog::getOpenFileName(this, "Load pad file", QString(),
                                                    "Pad File (*.pad);;All files (*.*)");
  if (!file.isEmpty()) LoadPads(file.toStdString());
}

void TFormGenerator::LoadPads(const std::string& path) {
  const PadFileRead read = LoadPadFile(host_.State(), path);
  if (!read.Ok()) return;
  UpdateOptions();
  labelPadFile_->setText(
      Text("(Read " + std::to_string(read.file.pads.size()) + " pads) loaded..."));
}

}  // namespace tarnisk
