// libpq, loaded the first time a lab is reached rather than when a program
// starts: most runs of tarnwick-cli never speak to a lab, and libpq with
// the TLS, Kerberos and LDAP libraries it brings would take longer to load
// than the rest of the program together.
#ifndef TARNWICK_LAB_LIBPQ_H_
#define TARNWICK_LAB_LIBPQ_H_

#include <libpq-fe.h>

namespace tarnwick::lab {

#define TARNWICK_LIBPQ_FUNCTIONS(X)                                                          \
  X(PQconnectdb) X(PQstatus) X(PQerrorMessage) X(PQfinish) X(PQsetClientEncoding)            \
  X(PQexecParams) X(PQexec) X(PQresultStatus) X(PQresultErrorMessage) X(PQclear)             \
  X(PQntuples) X(PQgetisnull) X(PQgetvalue) X(PQgetlength) X(PQsendQueryParams)              \
  X(PQsetSingleRowMode) X(PQgetResult) X(PQgetCancel) X(PQcancel) X(PQfreeCancel)            \
  X(PQconninfoParse) X(PQconninfoFree) X(PQfreemem)

// The functions the lab uses, under their own names.
struct Libpq {
#define TARNWICK_LIBPQ_POINTER(name) decltype(&::name) name = nullptr;
  TARNWICK_LIBPQ_FUNCTIONS(TARNWICK_LIBPQ_POINTER)
#undef TARNWICK_LIBPQ_POINTER
};

// libpq, loaded on first use and kept to the end. Throws JournalError,
// naming the library and the system's words, when it cannot be loaded.
const Libpq& Pq();

}  // namespace tarnwick::lab

#endif  // TARNWICK_LAB_LIBPQ_H_
