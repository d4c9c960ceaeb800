// The console calls tarnwick-cli makes that differ between systems, kept
// here so the program itself stays portable.
#ifndef TARNWICK_APP_CONSOLE_IO_H_
#define TARNWICK_APP_CONSOLE_IO_H_

namespace tarnwick {

// Whether standard error is a terminal that can show the progress line, which
// redraws itself with a carriage return and the "erase line" escape. On
// Windows that means a console whose virtual-terminal processing this call
// turns on; false where it cannot be, so no escapes reach an old console.
bool StderrIsTerminal();

// Result lines already end in CR LF: on Windows, standard output is switched
// to binary so the C runtime does not turn that into CR CR LF. Nothing to do
// elsewhere.
void PrepareStdoutForResults();

}  // namespace tarnwick

#endif  // TARNWICK_APP_CONSOLE_IO_H_
