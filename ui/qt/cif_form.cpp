#include "ui/qt/cif_form.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QFileDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "session/files.h"
#include "session/session.h"

namespace tarnisk {

namespace {

constexpr int kOutputPage = 0;
constexpr int kInputPage = 1;
constexpr int kBoxesColumn = 3;  // of the layer grid
const char* const kScaleLabel = "Scale (\xC2\xB5m) :";

QLineEdit* NamedEdit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

QPushButton* NamedButton(const char* name, const char* caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

QPlainTextEdit* Listing(const char* name, QWidget* parent) {
  auto* memo = new QPlainTextEdit(parent);
  memo->setObjectName(name);
  memo->setReadOnly(true);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  return memo;
}

void ShowLines(QPlainTextEdit* memo, const std::vector<std::string>& lines) {
  QStringList text;
  for (const std::string& line : lines) text << QString::fromStdString(line);
  memo->setPlainText(text.join('\n'));
}

}  // namespace

TFormCif::TFormCif(Session& state, QWidget* parent) : QDialog(parent), state_(state) {
  setObjectName("TFormCif");
  setWindowTitle("CIF Interface");
  auto* row = new QHBoxLayout(this);
  pageControl_ = new QTabWidget(this);
  pageControl_->setObjectName("PageControl");
  pageControl_->addTab(BuildOutputPage(), "Cif Out");
  pageControl_->addTab(BuildInputPage(), "Cif In");
  row->addWidget(pageControl_, 3);
  row->addWidget(BuildLayerList(), 2);
  connect(pageControl_, &QTabWidget::currentChanged, this, [this] { PageControlChange(); });
  resize(900, 520);
}

QWidget* TFormCif::BuildOutputPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  editScaleOut_ = NamedEdit("EditScaleOut", page);
  editTopCell_ = NamedEdit("EditTopCell", page);
  editTextLayer_ = NamedEdit("EditTextLayer", page);
  form->addRow(kScaleLabel, editScaleOut_);
  form->addRow("Top cell :", editTopCell_);
  form->addRow("Text layer is ", editTextLayer_);
  btnCifOut_ = NamedButton("btnCifOut", "Convert into CIF", page);
  // File > Open reads CIF files into the layout; this lists one instead.
  QPushButton* view = NamedButton("btnCifView", "View a CIF File...", page);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(btnCifOut_);
  buttons->addWidget(view);
  buttons->addWidget(CancelButton(page));
  connect(view, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getOpenFileName(this, "View a CIF File", QString(),
                                                      "CIF (*.CIF *.cif);;All files (*)");
    if (!file.isEmpty()) ViewFile(file.toStdString());
  });
  form->addRow(buttons);
  memoOut_ = Listing("MemoOut", page);
  form->addRow(memoOut_);
  connect(btnCifOut_, &QPushButton::clicked, this, [this] { btnCifOutClick(); });
  connect(editTopCell_, &QLineEdit::textEdited, this, [this] { EditTopCellChange(); });
  return page;
}

QWidget* TFormCif::BuildInputPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  editScaleIn_ = NamedEdit("EditScaleIn", page);
  editCells_ = NamedEdit("EditCells", page);
  editCells_->setReadOnly(true);
  form->addRow(kScaleLabel, editScaleIn_);
  form->addRow("Cells : ", editCells_);
  btnCifIn_ = NamedButton("btnCifIn", "Convert into Tarnisk", page);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(btnCifIn_);
  buttons->addWidget(CancelButton(page));
  form->addRow(buttons);
  memoIn_ = Listing("MemoIn", page);
  form->addRow(memoIn_);
  connect(btnCifIn_, &QPushButton::clicked, this, [this] { btnCifInClick(); });
  return page;
}

QWidget* TFormCif::BuildLayerList() {
  auto* box = new QWidget(this);
  auto* column = new QVBoxLayout(box);
  gridLayers_ = new QTableWidget(kLayerCount, 5, box);
  gridLayers_->setObjectName("GridLayers");
  gridLayers_->setHorizontalHeaderLabels({"Layer", "Cif Name", "Gds2 n\xC2\xB0", "Boxes", "Overetch"});
  gridLayers_->verticalHeader()->hide();
  gridLayers_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Every column in sight: narrow columns and no horizontal scrolling.
  gridLayers_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  gridLayers_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  gridLayers_->horizontalHeader()->setStretchLastSection(true);
  gridLayers_->setMinimumWidth(380);
  labelLayers_ = new QLabel(box);
  labelLayers_->setObjectName("LabelLayers");
  column->addWidget(gridLayers_);
  column->addWidget(labelLayers_);
  return box;
}

QPushButton* TFormCif::CancelButton(QWidget* page) {
  QPushButton* button = NamedButton("btnCancel", "Cancel", page);
  connect(button, &QPushButton::clicked, this, [this] { btnCancelClick(); });
  return button;
}

void TFormCif::ShowLayerGrid(const std::vector<CifLayerRow>& rows) {
  for (int r = 0; r < int(rows.size()); ++r) {
    const CifLayerRow& row = rows[size_t(r)];
    const std::string* cells[] = {&row.layer, &row.cifName, &row.gds2, &row.boxes, &row.overetch};
    for (int c = 0; c < 5; ++c)
      gridLayers_->setItem(r, c, new QTableWidgetItem(QString::fromStdString(*cells[c])));
  }
}

void TFormCif::UpdateOptions(bool inputMode) {
  ShowStatus(state_.platform, "Update CIF Form options");
  ShowLayerGrid(CifLayerGrid(state_.layout, state_.progress));
  editTopCell_->setText("topcell");
  labelLayers_->setText(
      QString::fromStdString("Layer list in \"" + state_.layout.wide.ruleFileName + "\""));
  btnCifOut_->setEnabled(!inputMode);
  btnCifIn_->setEnabled(inputMode);
  pageControl_->setCurrentIndex(inputMode ? kInputPage : kOutputPage);
  const QString unit = QString::number(settings_.unit);
  editScaleOut_->setText(unit);
  editScaleIn_->setText(unit);
  editTextLayer_->setText("94");
  editCells_->setText("0");
}

void TFormCif::ViewFile(const std::string& openedName) {
  openedName_ = openedName;
  UpdateOptions(true);
  hide();  // so that showing it modally activates it again
  exec();
}

void TFormCif::btnCifOutClick() {
  const CifOptions options{settings_.unit, editTopCell_->text().toStdString(),
                           editTextLayer_->text().toStdString()};
  const CifConversion c =
      ConvertIntoCif(CifLayoutOf(state_), settings_, editScaleOut_->text().toStdString(),
                     CifOutputName(state_.layout.wide.currentFileName), options);
  if (!c.error.empty()) {
    state_.platform.ShowMessage("Error", c.error, MessageButtons::Ok);
    return;
  }
  std::vector<std::string> lines;
  if (c.written && ListCifFile(settings_.fileName, lines)) ShowLines(memoOut_, lines);
}

void TFormCif::btnCifInClick() {
  const CifInputConversion c = ConvertCifIntoMsk(settings_, state_.progress);
  if (c.ok) ShowLines(memoOut_, c.lines);
  setWindowTitle(QString::fromStdString(c.caption));
}

void TFormCif::FormActivate() {
  if (pageControl_->currentIndex() != kInputPage) return;
  memoIn_->clear();
  const CifView view = ViewCifFile(openedName_, state_.progress);
  if (!view.ok) return;
  ShowLines(memoIn_, view.lines);
  editCells_->setText(QString::number(view.cells));
}

void TFormCif::PageControlChange() {
  const int wanted = btnCifOut_->isEnabled() ? kOutputPage : kInputPage;
  if (pageControl_->currentIndex() != wanted) pageControl_->setCurrentIndex(wanted);
}

void TFormCif::EditTopCellChange() { ShowStatus(state_.platform, "Edit top cell name"); }

void TFormCif::btnCancelClick() {
  ShowStatus(state_.platform, "Cancel");
  close();
}

// The new layout is empty: no box counts and no CIF text written from it.
void TFormCif::LayoutReplaced() {
  memoOut_->clear();
  for (int row = 0; row < gridLayers_->rowCount(); ++row)
    if (QTableWidgetItem* boxes = gridLayers_->item(row, kBoxesColumn)) boxes->setText("");
}

void TFormCif::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormActivate();
}

}  // namespace tarnisk
