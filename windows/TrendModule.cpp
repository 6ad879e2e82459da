#include "windows/TrendModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>

#include "base/Texts.h"

namespace {

const TTexts kCannotOpen{
    "No es pot obrir la finestra de tendència: no s'ha pogut carregar el mòdul %1 (%2). Reinstal·leu el programa.",
    "No se puede abrir la ventana de tendencia: no se ha podido cargar el módulo %1 (%2). Reinstale el programa.",
    "Impossible d'ouvrir la fenêtre de tendance : le module %1 n'a pas pu être chargé (%2). Réinstallez le "
    "programme.",
    "The trend window cannot be opened: its module %1 could not be loaded (%2). Install the program again."};
const TTexts kNotFound{"no és a %1", "no está en %1", "il n'est pas dans %1", "it is not in %1"};
const TTexts kWrongModule{"no és d'aquesta versió del programa", "no es de esta versión del programa",
    "il n'est pas de cette version du programme", "it is not of this version of the program"};
const TTexts kOr{" ni a ", " ni en ", " ni dans ", " nor in "};

QString say(const TTexts& texts, TLanguage language, std::initializer_list<std::string> args)
{
    return QString::fromStdString(fillIn(texts.pick(language), args));
}

// The module once loaded stays for the rest of the run: windows made by it
// live on.
void* loadModule(const QStringList& folders, QString& why, TLanguage language)
{
    std::string tried;
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(QString::fromLatin1(kTrendModuleFile));
        if (!QFileInfo(path).isFile()) {
            tried += (tried.empty() ? "" : kOr.pick(language)) + QDir::cleanPath(folder).toStdString();
            continue;
        }
        if (void* module = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL)) {
            return module;
        }
        why = QString::fromLocal8Bit(dlerror());
        return nullptr;
    }
    // A program linked with the module (the tests) has it already.
    if (void* module = dlopen(kTrendModuleFile, RTLD_NOW | RTLD_NOLOAD))
        return module;
    why = say(kNotFound, language, {tried});
    return nullptr;
}

} // namespace

QStringList trendModuleFolders()
{
    const QString bin = QCoreApplication::applicationDirPath();
    return {bin, QDir::cleanPath(bin + QStringLiteral("/../lib/dadiz"))};
}

TTrendOpening openTrendWindow(TLanguage language, const TTrendSetpoints& setpoints, QWidget* parent,
                            const QStringList& folders)
{
    TTrendOpening opening;
    QString why;
    void* module = loadModule(folders, why, language);
    if (module) {
        if (auto entry = reinterpret_cast<TTrendModuleEntry>(dlsym(module, kTrendModuleEntry))) {
            opening.handle.reset(entry(language, setpoints, parent));
            return opening;
        }
        why = say(kWrongModule, language, {});
    }
    opening.error = say(kCannotOpen, language, {kTrendModuleFile, why.toStdString()});
    return opening;
}
