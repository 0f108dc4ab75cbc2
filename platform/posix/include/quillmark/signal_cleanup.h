// The signals that end a run (Ctrl-C, kill, a closed terminal) and the
// temporary files of ours they would leave behind.
#pragma once

namespace quillmark {

// Installs handlers for SIGINT, SIGTERM and SIGHUP (each unless it is ignored
// at the start, as nohup and background jobs arrange) that remove the
// temporary files ReplaceFileAtomically is writing, then end the process by the
// same signal, so a shell sees 130, 143 or 129. Called once, by a program's
// main; SIGKILL aside, no run then leaves a temporary file.
void RemoveTempFilesOnSignals();

// What the handler says, before the process ends, of the work it interrupts (a
// batch says how far it got). `note` must be async-signal-safe; null: nothing.
void SetInterruptNote(void (*note)());

}  // namespace quillmark
