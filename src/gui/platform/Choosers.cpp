#include "Choosers.h"

#include <QDir>
#include <QFileDialog>

namespace khub::gui {

namespace {
ChooseFileHook& FileHook() {
    static ChooseFileHook hook;
    return hook;
}
BrowseFolderHook& FolderHook() {
    static BrowseFolderHook hook;
    return hook;
}
}  // namespace

void SetChooseFileHook(ChooseFileHook hook) {
    FileHook() = std::move(hook);
}
void SetBrowseFolderHook(BrowseFolderHook hook) {
    FolderHook() = std::move(hook);
}

QString AnyCasePattern(const QString& pattern) {
    QString out;
    for (QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper()) {
            out += '[';
            out += c.toLower();
            out += c.toUpper();
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

QString ChooseFile(QWidget* owner, const QList<FileFilter>& filters, const QString& initialDir) {
    if (FileHook()) return FileHook()(owner, filters, initialDir);
    QStringList entries;
    for (const FileFilter& f : filters) {
        QStringList patterns;
        for (const QString& p : f.patterns) patterns << AnyCasePattern(p);
        entries << QStringLiteral("%1 (%2)").arg(f.description, patterns.join(' '));
    }
    const QString path =
        QFileDialog::getOpenFileName(owner, QString(), initialDir, entries.join(";;"));
    return QDir::toNativeSeparators(path);
}

QString BrowseForFolder(QWidget* owner, const QString& title) {
    if (FolderHook()) return FolderHook()(owner, title);
    const QString dir = QFileDialog::getExistingDirectory(owner, title);
    return QDir::toNativeSeparators(dir);
}

}  // namespace khub::gui
