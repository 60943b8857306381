#include "HostPath.h"

#ifdef Q_OS_WIN
#include <QDir>

#include <windows.h>
#endif

QString hostPath(const QString& path) {
#ifdef Q_OS_WIN
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName) {
        const QString native = QDir::toNativeSeparators(path);
        if (char* name = unixName(reinterpret_cast<LPCWSTR>(native.utf16()))) {
            const QString host = QString::fromUtf8(name);
            HeapFree(GetProcessHeap(), 0, name);
            return host;
        }
    }
#endif
    return path;
}
