// A journal opened for reading only, for a reader beside the run that
// writes it (the window's history): a store is not for two threads at once,
// so a reader never shares the run's.
#ifndef TARNWICK_SESSION_JOURNAL_READER_H_
#define TARNWICK_SESSION_JOURNAL_READER_H_

#include <memory>
#include <string>

#include "journal/result_store.h"

namespace tarnwick {

// The journal at address, read-only; throws JournalError when it cannot be
// opened (none has been written there yet, say).
std::unique_ptr<ResultStore> OpenJournalReader(const std::string& address);

}  // namespace tarnwick

#endif  // TARNWICK_SESSION_JOURNAL_READER_H_
