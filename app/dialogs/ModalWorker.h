// Runs one long job on a worker thread while a dialog runs modally over it, so the interface
// stays alive: the shared loop of the busy window and the import window.
//
// Interface thread. The job must not touch widgets. Nothing here throws except
// std::bad_alloc; an exception from the job itself ends the program, as on any thread.
#pragma once

#include <QDialog>
#include <QThread>
#include <functional>

namespace zarvell::app {

// Starts `job` at `priority`, runs `dialog` modally until the job has finished (the dialog
// is then accepted), and returns the job's result. `running` is true while the job runs.
int runWhileModal(QDialog& dialog, const std::function<int()>& job, QThread::Priority priority,
                  bool& running);

}  // namespace zarvell::app
