#include "SettingsPages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "app/appcore/AppCore.h"

namespace zarvell::app {
namespace {

template <typename W>
W* withId(W* widget, int id) {
  widget->setObjectName(QString("id%1").arg(id));
  return widget;
}

QSlider* slider(QWidget* parent, int id, int max, int tick) {
  auto* s = withId(new QSlider(Qt::Horizontal, parent), id);
  s->setRange(0, max);
  s->setTickInterval(tick);
  s->setTickPosition(QSlider::TicksBelow);
  s->setPageStep(tick);
  return s;
}

// An edit that takes only a decimal number (C locale: "0.5", never "0,5").
QLineEdit* numberEdit(QWidget* parent, int id, bool integer) {
  auto* edit = withId(new QLineEdit(parent), id);
  if (integer) {
    edit->setValidator(new QIntValidator(0, 65535, edit));
  } else {
    auto* validator = new QDoubleValidator(edit);
    validator->setLocale(QLocale::c());
    validator->setNotation(QDoubleValidator::StandardNotation);
    edit->setValidator(validator);
  }
  return edit;
}

bool acceptable(const QLineEdit* edit) {
  QString text = edit->text();
  int at = 0;
  return edit->validator()->validate(text, at) == QValidator::Acceptable;
}

}  // namespace

QString inhibitIntervalName(int index) {
  static const char* const kNames[] = {"30 Minutes", "45 Minutes", "1 Hour", "2 Hours", "5 Hours",
                                       "1 Day",      "3 Days",     "1 Week", "2 Weeks", "1 Month"};
  return index >= 0 && index < 10 ? kNames[index] : "";
}

GeneralPage::GeneralPage(AppCore& core) : SettingsPage(core, "General", "General") {
  auto* layout = new QVBoxLayout(this);
  checkUpdates_ = withId(new QCheckBox("Check for updates on startup", this), 1071);
  auto* checkNow = withId(new QPushButton("Check for Updates Now", this), 1112);
  clearQueue_ = withId(new QCheckBox("Clear Play Queue on Double Click", this), 1070);
  toolTips_ = withId(new QCheckBox("Show ToolTips", this), 1072);
  auto* updates = new QHBoxLayout;
  updates->addWidget(checkUpdates_);
  updates->addWidget(checkNow);
  layout->addLayout(updates);
  layout->addWidget(clearQueue_);
  layout->addWidget(toolTips_);

  auto* group = new QGroupBox("Playback / Suggestion Settings", this);
  auto* form = new QFormLayout(group);
  randomness_ = slider(group, 1111, 100, 10);
  auto* random = new QHBoxLayout;
  random->addWidget(new QLabel("Less", group));
  random->addWidget(randomness_);
  random->addWidget(new QLabel("More", group));
  form->addRow("Playback Randomness", random);
  songInhibit_ = slider(group, 1113, 9, 1);
  songInhibitName_ = withId(new QLabel(group), 1115);
  otherInhibit_ = slider(group, 1114, 9, 1);
  otherInhibitName_ = withId(new QLabel(group), 1116);
  auto* song = new QHBoxLayout;
  song->addWidget(songInhibit_);
  song->addWidget(songInhibitName_);
  form->addRow("Song Inhibit Interval", song);
  auto* other = new QHBoxLayout;
  other->addWidget(otherInhibit_);
  other->addWidget(otherInhibitName_);
  form->addRow("Other Inhibit Interval", other);
  layout->addWidget(group);
  layout->addStretch();

  for (QCheckBox* box : {checkUpdates_, clearQueue_, toolTips_})
    connect(box, &QCheckBox::toggled, this, [this] { markModified(); });
  connect(randomness_, &QSlider::valueChanged, this, [this] { markModified(); });
  connect(songInhibit_, &QSlider::valueChanged, this, [this](int v) {
    songInhibitName_->setText(inhibitIntervalName(v));
    markModified();
  });
  connect(otherInhibit_, &QSlider::valueChanged, this, [this](int v) {
    otherInhibitName_->setText(inhibitIntervalName(v));
    markModified();
  });
  connect(checkNow, &QPushButton::clicked, this,
          [this] { this->core().checkForUpdates(window(), true); });
}

void GeneralPage::fill() {
  const AppConfig& c = core().config();
  checkUpdates_->setChecked(c.checkUpdatesOnStart);
  clearQueue_->setChecked(c.clearQueueOnDoubleClick);
  toolTips_->setChecked(c.showToolTips);
  randomness_->setValue(std::clamp<int>(c.randomness, 0, 100));
  const auto index = [](int i) { return i >= 0 && i <= 9 ? i : 5; };
  songInhibit_->setValue(index(c.songInhibitIndex));
  otherInhibit_->setValue(index(c.otherInhibitIndex));
  songInhibitName_->setText(inhibitIntervalName(songInhibit_->value()));
  otherInhibitName_->setText(inhibitIntervalName(otherInhibit_->value()));
}

bool GeneralPage::apply() {
  AppConfig& c = core().config();
  c.randomness = randomness_->value();
  c.songInhibitIndex = songInhibit_->value();
  c.otherInhibitIndex = otherInhibit_->value();
  c.checkUpdatesOnStart = checkUpdates_->isChecked();
  c.clearQueueOnDoubleClick = clearQueue_->isChecked();
  c.showToolTips = toolTips_->isChecked();
  return true;
}

PlayerPage::PlayerPage(AppCore& core, std::string pluginFolder)
    : SettingsPage(core, "Audio Player", "Player (Internal/External)"),
      folder_(std::move(pluginFolder)) {
  auto* layout = new QVBoxLayout(this);
  auto* intro =
      new QLabel("Please select your preferred audio playback software from the list below:", this);
  intro->setWordWrap(true);
  layout->addWidget(intro);
  layout->addWidget(new QLabel("Currently Selected Player:", this));
  players_ = withId(new QComboBox(this), 1008);
  layout->addWidget(players_);
  layout->addStretch();
  connect(players_, &QComboBox::currentIndexChanged, this, [this] { markModified(); });
}

void PlayerPage::fill() {
  if (players_->count() == 0) {  // probed once, the first time the page is shown
    for (const PlayerPluginInfo& info : listPlayerPlugins(folder_)) {
      if (!info.offered) continue;
      players_->addItem(QString::fromStdString(info.name));
      files_.push_back(info.fileName);
    }
  }
  const QString current = QString::fromStdString(core().config().playerPlugin);
  int selected = -1;
  for (size_t i = 0; i < files_.size(); ++i)
    if (QString::fromStdString(files_[i]).compare(current, Qt::CaseInsensitive) == 0)
      selected = static_cast<int>(i);
  players_->setCurrentIndex(selected);
}

bool PlayerPage::apply() {
  const int index = players_->currentIndex();
  if (index < 0 || index >= static_cast<int>(files_.size())) return true;
  const std::string& file = files_[index];
  const QString current = QString::fromStdString(core().config().playerPlugin);
  if (QString::fromStdString(file).compare(current, Qt::CaseInsensitive) == 0) return true;
  core().config().playerPlugin = file;
  core().selectPlayer(file);  // stops the current song first
  return true;
}

CoreAdvancedPage::CoreAdvancedPage(AppCore& core)
    : SettingsPage(core, "Core Advanced", "Core Advanced") {
  auto* layout = new QVBoxLayout(this);
  auto* group = new QGroupBox("Expert Values", this);
  auto* form = new QFormLayout(group);
  freezeLinks_ = withId(new QCheckBox("Freeze Links", group), 1070);
  propagate_ = withId(new QCheckBox("Propagate to Meta Nodes", group), 1071);
  boost_ = numberEdit(group, 1073, false);
  bookmarkBoost_ = numberEdit(group, 1074, false);
  accuracy_ = numberEdit(group, 1075, false);
  port_ = numberEdit(group, 1125, true);
  form->addRow(freezeLinks_);
  form->addRow(propagate_);
  form->addRow("Boost Strength", boost_);
  form->addRow("Bookmarks Boost Strength", bookmarkBoost_);
  form->addRow("Link Inference Accuracy", accuracy_);
  form->addRow("Temporary Router Port", port_);
  layout->addWidget(group);
  layout->addStretch();
  for (QCheckBox* box : {freezeLinks_, propagate_})
    connect(box, &QCheckBox::toggled, this, [this] { markModified(); });
  for (QLineEdit* edit : {boost_, bookmarkBoost_, accuracy_, port_})
    connect(edit, &QLineEdit::textEdited, this, [this] { markModified(); });
}

void CoreAdvancedPage::fill() {
  const AppConfig& c = core().config();
  freezeLinks_->setChecked(c.freezeLinks);
  propagate_->setChecked(c.propagateToMeta);
  boost_->setText(QString::asprintf("%0.8f", c.boostStrength));
  bookmarkBoost_->setText(QString::asprintf("%0.8f", c.bookmarkBoostStrength));
  accuracy_->setText(QString::asprintf("%0.8f", c.linkInferenceAccuracy));
  port_->setText(QString::asprintf("%d", c.routerPort));
}

bool CoreAdvancedPage::apply() {
  // A value that is not a number is refused (the sheet says so), never stored as 0.
  for (QLineEdit* edit : {boost_, bookmarkBoost_, accuracy_, port_}) {
    if (!acceptable(edit)) {
      edit->setFocus();
      edit->selectAll();
      return false;
    }
  }
  AppConfig& c = core().config();
  c.boostStrength = QLocale::c().toFloat(boost_->text());
  c.bookmarkBoostStrength = QLocale::c().toFloat(bookmarkBoost_->text());
  c.linkInferenceAccuracy = QLocale::c().toFloat(accuracy_->text());
  c.routerPort = QLocale::c().toInt(port_->text());
  c.freezeLinks = freezeLinks_->isChecked();
  c.propagateToMeta = propagate_->isChecked();
  return true;
}

}  // namespace zarvell::app
