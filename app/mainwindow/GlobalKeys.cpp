#include "GlobalKeys.h"

#include <QKeyEvent>

#include "app/appcore/CommandIds.h"

namespace zarvell::app {

GlobalKeys::GlobalKeys(Target& target, QObject* parent) : QObject(parent), target_(target) {}

bool GlobalKeys::handleKey(const QKeyEvent& key) {
  const Qt::KeyboardModifiers mods =
      key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier |
                         Qt::MetaModifier);
  const bool ctrl = mods == Qt::ControlModifier;
  const bool ctrlAlt = mods == (Qt::ControlModifier | Qt::AltModifier);
  if (!ctrl && !ctrlAlt) return false;
  if (target_.shortcutsBlocked()) return false;
  switch (key.key()) {
    case Qt::Key_Left:
      ctrl ? target_.runCommand(command::kPrev) : target_.stepPosition(-kSeekStep);
      return true;
    case Qt::Key_Right:
      ctrl ? target_.runCommand(command::kNext) : target_.stepPosition(kSeekStep);
      return true;
    case Qt::Key_Up:
      if (ctrl) target_.stepVolume(kVolumeStep);
      return true;  // Ctrl+Alt+Up is swallowed
    case Qt::Key_Down:
      ctrl ? target_.stepVolume(-kVolumeStep) : target_.runCommand(command::kMute);
      return true;
    default:
      return false;
  }
}

bool GlobalKeys::eventFilter(QObject* watched, QEvent* event) {
  // Every key press reaches the filter once per receiving object as it propagates; act on
  // the first delivery only (to a widget), so a shortcut is not taken twice.
  if (event->type() == QEvent::KeyPress && watched->isWidgetType())
    return handleKey(*static_cast<QKeyEvent*>(event));
  if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType()) {
    // Keep these keys from being taken as a shortcut by any widget before they arrive.
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    if ((mods & Qt::ControlModifier) &&
        (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right ||
         key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) &&
        !target_.shortcutsBlocked()) {
      event->accept();
      return false;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace zarvell::app
