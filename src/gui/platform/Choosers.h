#pragma once
// The open-file chooser and the folder browser. Tests put their own answer in place of the
// system dialog; an empty answer means the player cancelled.

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace khub::gui {

// One filter entry: a description and its patterns ("*.smc", "VOLTAW.EXE"), matched in any
// letter case.
struct FileFilter {
    QString description;
    QStringList patterns;
};

using ChooseFileHook =
    std::function<QString(QWidget* owner, const QList<FileFilter>& filters, const QString& dir)>;
using BrowseFolderHook = std::function<QString(QWidget* owner, const QString& title)>;

// The full path of an existing file, or empty when cancelled. Patterns match in any case.
QString ChooseFile(QWidget* owner, const QList<FileFilter>& filters,
                   const QString& initialDir = {});
// A folder, or empty when cancelled.
QString BrowseForFolder(QWidget* owner, const QString& title);

// Replaces the system dialogs (tests). An empty hook restores them.
void SetChooseFileHook(ChooseFileHook hook);
void SetBrowseFolderHook(BrowseFolderHook hook);

}  // namespace khub::gui
