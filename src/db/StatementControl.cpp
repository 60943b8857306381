#include "StatementControl.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlResult>
#include <QVariant>

#include <atomic>
#include <initializer_list>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

// The functions come from the libraries Qt's drivers loaded, so the handle and the call belong to the same
// driver manager or engine.
void* loadedFunction(const char* library, const char* name) {
#if defined(Q_OS_WIN)
    HMODULE module = GetModuleHandleA(library);
    return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
#else
    void* handle = dlopen(library, RTLD_LAZY | RTLD_NOLOAD);
    if (!handle)
        return nullptr;
    void* function = dlsym(handle, name);
    dlclose(handle); // the driver keeps the library loaded
    return function;
#endif
}

#if defined(Q_OS_WIN)
constexpr const char* odbcLibrary = "odbc32.dll";
constexpr const char* sqliteLibrary = "sqlite3.dll";
#define KORVA_ODBC_API __stdcall
#else
constexpr const char* odbcLibrary = "libodbc.so.2";
constexpr const char* sqliteLibrary = "libsqlite3.so.0";
#define KORVA_ODBC_API
#endif

// ODBC's own signatures and values (sql.h): SQLRETURN is a short, handles are pointers.
using SqlSetStmtAttr = short(KORVA_ODBC_API*)(void*, int, void*, int);
using SqlCancel = short(KORVA_ODBC_API*)(void*);
constexpr int sqlAttrQueryTimeout = 0;
using SqliteInterrupt = void (*)(void*);

void* handleOf(const QVariant& handle, std::initializer_list<const char*> typeNames) {
    if (!handle.isValid())
        return nullptr;
    for (const char* typeName : typeNames)
        if (qstrcmp(handle.typeName(), typeName) == 0)
            return *static_cast<void* const*>(handle.constData());
    return nullptr;
}

// Qt's ODBC driver hands its statement handle as the pointer SQLHANDLE stands for.
void* odbcStatement(const QSqlQuery& query) {
    if (!query.result() || !query.driver() || !query.driver()->inherits("QODBCDriver"))
        return nullptr;
    return handleOf(query.result()->handle(), {"SQLHANDLE", "void*"});
}

// Looked up once found: a look-up costs a search of the disk while the library is not loaded, so it is made
// only once a handle of that library is at hand.
template <typename Function>
Function function(std::atomic<Function>& kept, const char* library, const char* name) {
    Function found = kept.load(std::memory_order_acquire);
    if (!found) {
        found = reinterpret_cast<Function>(loadedFunction(library, name));
        kept.store(found, std::memory_order_release);
    }
    return found;
}

std::atomic<SqlSetStmtAttr> setStmtAttr{nullptr};
std::atomic<SqlCancel> sqlCancel{nullptr};
std::atomic<SqliteInterrupt> sqliteInterrupt{nullptr};

} // namespace

void StatementControl::limitTime(QSqlQuery& query, int seconds) {
    void* statement = seconds > 0 ? odbcStatement(query) : nullptr;
    if (!statement)
        return;
    if (const auto set = function(setStmtAttr, odbcLibrary, "SQLSetStmtAttr"))
        set(statement, sqlAttrQueryTimeout, reinterpret_cast<void*>(quintptr(seconds)), 0);
}

std::function<void()> StatementControl::canceller(QSqlDatabase& db, QSqlQuery& query) {
    if (void* statement = odbcStatement(query)) {
        if (const auto cancel = function(sqlCancel, odbcLibrary, "SQLCancel"))
            return [cancel, statement] { cancel(statement); };
        return {};
    }
    void* engine = db.driver() ? handleOf(db.driver()->handle(), {"sqlite3*"}) : nullptr;
    if (!engine)
        return {};
    if (const auto interrupt = function(sqliteInterrupt, sqliteLibrary, "sqlite3_interrupt"))
        return [interrupt, engine] { interrupt(engine); };
    return {};
}
