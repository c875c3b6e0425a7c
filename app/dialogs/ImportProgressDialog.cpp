#include "ImportProgressDialog.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "ModalWorker.h"

namespace zarvell::app {

ProgressCopy ProgressCopy::of(const ProgressInfo& info) {
  ProgressCopy copy;
  copy.step = (info.stage < 0 || info.stage > 3) ? 3 : info.stage;
  copy.steps = info.stages;
  copy.current = info.current;
  copy.total = info.total;
  copy.meaningful = info.total > 0;
  copy.caption = QString::fromUtf8(info.caption ? info.caption : "");
  copy.detail = QString::fromUtf8(info.detail ? info.detail : "");
  copy.detail2 = QString::fromUtf8(info.detail2 ? info.detail2 : "");
  return copy;
}

int ImportProgressDialog::lineOf(int step) {
  return std::clamp(step - 1, 0, 2);
}

ImportProgressDialog::ImportProgressDialog(QWidget* parent, std::function<void()> openHelp)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      openHelp_(std::move(openHelp)) {
  setObjectName("ImportProgressDialog");
  setWindowTitle("Import");
  setModal(true);
  auto timer = std::make_shared<QElapsedTimer>();
  timer->start();
  clock_ = [timer] { return timer->elapsed() / 1000.0; };

  auto* layout = new QVBoxLayout(this);
  heading_ = new QLabel("Zarvell is processing your tracks...", this);
  heading_->setObjectName("ImportHeading");
  layout->addWidget(heading_);
  auto* steps = new QGridLayout;
  for (int i = 0; i < 3; ++i) {
    steps->addWidget(new QLabel(QString("Step %1:").arg(i + 1), this), i, 0);
    lines_[i] = new QLabel(kStepNames[i], this);
    lines_[i]->setObjectName(QString("StepLine%1").arg(i + 1));
    steps->addWidget(lines_[i], i, 1);
  }
  layout->addLayout(steps);
  cancelNote_ = new QLabel("This step can be cancelled any time.", this);
  cancelNote_->setObjectName("CancelNote");
  resumeNote_ =
      new QLabel("Already processed data will survive; processing will resume on restart.", this);
  resumeNote_->setObjectName("ResumeNote");
  detail_ = new QLabel(this);
  detail_->setObjectName("ProgressDetail");
  bar_ = new QProgressBar(this);
  bar_->setObjectName("ImportProgressBar");
  bar_->setRange(0, 100);
  bar_->setValue(0);
  remainingLabel_ = new QLabel(RemainingTime::text(0), this);
  remainingLabel_->setObjectName("RemainingText");
  status_ = new QLabel(this);
  status_->setObjectName("ImportStatus");
  for (QWidget* w : {static_cast<QWidget*>(cancelNote_), static_cast<QWidget*>(resumeNote_),
                     static_cast<QWidget*>(detail_), static_cast<QWidget*>(bar_),
                     static_cast<QWidget*>(remainingLabel_), static_cast<QWidget*>(status_)})
    layout->addWidget(w);
  // Texts that change with every record must not resize the window (a relayout of the
  // whole window per record): they take the width the window has.
  for (QLabel* label : {lines_[0], lines_[1], lines_[2], detail_, remainingLabel_, status_})
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  setMinimumWidth(480);
  auto* buttons = new QHBoxLayout;
  helpButton_ = new QPushButton("&Help", this);
  helpButton_->setObjectName("HelpButton");
  helpButton_->setAutoDefault(false);
  cancelButton_ = new QPushButton("&Cancel", this);
  cancelButton_->setObjectName("CancelButton");
  cancelButton_->setAutoDefault(false);
  buttons->addStretch();
  buttons->addWidget(helpButton_);
  buttons->addWidget(cancelButton_);
  layout->addLayout(buttons);
  connect(cancelButton_, &QPushButton::clicked, this, &ImportProgressDialog::reject);
  connect(helpButton_, &QPushButton::clicked, this, [this] {
    if (openHelp_) openHelp_();
  });
}

int ImportProgressDialog::run(const std::function<int()>& job) {
  return runWhileModal(*this, job, QThread::IdlePriority, running_);
}

bool ImportProgressDialog::onProgress(const ProgressInfo& info) {
  if (cancelled_.load()) return false;
  const ProgressCopy copy = ProgressCopy::of(info);
  const int left = remaining_.update(copy.current, copy.total, copy.meaningful, clock_());
  if (QThread::currentThread() == thread())
    display(copy, left);
  else
    QMetaObject::invokeMethod(
        this, [this, &copy, left] { display(copy, left); }, Qt::BlockingQueuedConnection);
  return !cancelled_.load();
}

void ImportProgressDialog::display(const ProgressCopy& record, int remaining) {
  const int line = lineOf(record.step);
  for (int i = 0; i < line; ++i) lines_[i]->setText(kStepNames[i] + " done.");
  const bool firstStep = line == 0;
  cancelNote_->setVisible(firstStep);
  resumeNote_->setVisible(firstStep);
  const QString text = record.caption.isEmpty() ? kStepNames[line] : record.caption;
  if (record.meaningful) {
    const long long percent = static_cast<long long>(record.current) * 100 / record.total;
    if (percent >= 100) {
      lines_[line]->setText(kStepNames[line] + " done.");
      bar_->setValue(100);
    } else {
      lines_[line]->setText(text + " ...");
      bar_->setValue(static_cast<int>(std::max(0LL, percent)));
    }
  } else {
    lines_[line]->setText(text + " ...");
  }
  detail_->setText(record.detail);
  remainingLabel_->setText(RemainingTime::text(remaining));
}

void ImportProgressDialog::reject() {
  if (!running_) {
    QDialog::reject();
    return;
  }
  cancelled_.store(true);
  status_->setText("Please wait, aborting import...");
  cancelButton_->setEnabled(false);
}

ImportReportDialog::ImportReportDialog(QWidget* parent, const QString& log) : QDialog(parent) {
  setObjectName("ImportReportDialog");
  setWindowTitle("Import Report");
  auto* layout = new QVBoxLayout(this);
  auto* text = new QPlainTextEdit(log, this);
  text->setObjectName("ReportText");
  text->setReadOnly(true);
  layout->addWidget(text);
  auto* ok = new QPushButton("&Continue", this);
  ok->setObjectName("ContinueButton");
  ok->setDefault(true);
  layout->addWidget(ok, 0, Qt::AlignRight);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  resize(520, 360);
}

}  // namespace zarvell::app
