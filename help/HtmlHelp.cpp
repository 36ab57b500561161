#include "help/HtmlHelp.h"

#include <dlfcn.h>

#include <QApplication>
#include <QPointer>
#include <QThread>

#include "help/HelpViewer.h"

namespace {

const char kDefaultLibrary[] = "libchm.so.1";

// The process-wide binding. Only the user-interface thread gets past the
// thread check in ResolveHtmlHelp, so the state needs no lock.
struct HelpBinding {
    std::string libraryName = kDefaultLibrary;
    void* module = nullptr;
    ChmFunctions functions;
    bool failed = false;
    int loadAttempts = 0;
    QPointer<CHelpViewer> viewer;
};

HelpBinding& Binding() {
    static HelpBinding binding;
    return binding;
}

template <typename F>
bool Resolve(void* module, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(module, name));
    return function != nullptr;
}

// Loads the library and resolves the functions once. A library that loads but
// lacks one of the functions is not a usable chmlib: that too sets the failed
// flag, so no later command tries again (rather than asking for the missing
// entry point at every call).
bool Bind(HelpBinding& b) {
    if (b.module != nullptr)
        return true;
    if (b.failed)
        return false;
    ++b.loadAttempts;
    void* module = dlopen(b.libraryName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        b.failed = true;
        return false;
    }
    ChmFunctions f;
    if (!Resolve(module, "chm_open", f.open) || !Resolve(module, "chm_close", f.close) ||
        !Resolve(module, "chm_resolve_object", f.resolveObject) ||
        !Resolve(module, "chm_retrieve_object", f.retrieveObject) ||
        !Resolve(module, "chm_enumerate", f.enumerate)) {
        dlclose(module);
        b.failed = true;
        return false;
    }
    b.module = module;
    b.functions = f;
    return true;
}

}  // namespace

QWidget* ResolveHtmlHelp(QWidget* owner, const std::string& path, unsigned command,
                         uintptr_t data) {
    if (qApp == nullptr || QThread::currentThread() != qApp->thread())
        return nullptr;
    HelpBinding& b = Binding();
    if (!Bind(b))
        return nullptr;
    if (command != kHelpDisplayTopic)
        return nullptr;

    if (b.viewer.isNull())
        b.viewer = new CHelpViewer(b.functions, owner);
    CHelpViewer* viewer = b.viewer;
    const QString file = QString::fromStdString(path);
    if (viewer->m_strPath != file || !viewer->m_archive.IsOpen())
        viewer->OpenFile(file);
    if (viewer->m_archive.IsOpen())
        viewer->ShowTopic(data != 0 ? QString::fromUtf8(reinterpret_cast<const char*>(data))
                                    : QString());
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return viewer;
}

void SetHelpLibraryName(const std::string& name) {
    Binding().libraryName = name;
}

void ResetHtmlHelpBinding() {
    HelpBinding& b = Binding();
    // The window closes its CHM file through the library: it goes first.
    delete b.viewer.data();
    if (b.module != nullptr)
        dlclose(b.module);
    b = HelpBinding();
}

bool HtmlHelpFailed() {
    return Binding().failed;
}

int HtmlHelpLoadAttempts() {
    return Binding().loadAttempts;
}
