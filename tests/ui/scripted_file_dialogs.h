// A stand-in for the file dialogs that gives queued answers instead of asking anyone.
#pragma once

#include "ui/qt/file_dialogs.h"

#include <deque>

namespace trelvane::test {

/// Answers each kind of file dialog with the next queued answer of that kind; with none queued
/// it answers as a cancelled dialog does (an empty result). Counts the dialogs asked for.
class ScriptedFileDialogs final : public IFileDialogs
{
public:
    /// The answer of the next multiple-file open dialog.
    void QueueOpenFiles(const QStringList& paths) { m_openFiles.push_back(paths); }
    /// The answer of the next single-file open dialog.
    void QueueOpenFile(const QString& path) { m_openFile.push_back(path); }
    /// The answer of the next save dialog.
    void QueueSaveFile(const QString& path) { m_saveFile.push_back(path); }

    QStringList OpenFiles(QWidget* parent) override
    {
        return Take(m_openFiles, openFilesCalls, parent);
    }
    QString OpenFile(QWidget* parent) override { return Take(m_openFile, openFileCalls, parent); }
    QString SaveFile(QWidget* parent) override { return Take(m_saveFile, saveFileCalls, parent); }

    /// How many multiple-file open, single-file open and save dialogs were asked for.
    int openFilesCalls = 0;
    int openFileCalls = 0;
    int saveFileCalls = 0;
    /// The parent window of the last dialog asked for.
    QWidget* lastParent = nullptr;

private:
    template <class Answer> Answer Take(std::deque<Answer>& queue, int& calls, QWidget* parent)
    {
        lastParent = parent;
        ++calls;
        if (queue.empty())
            return {};
        Answer answer = queue.front();
        queue.pop_front();
        return answer;
    }

    std::deque<QStringList> m_openFiles;
    std::deque<QString> m_openFile;
    std::deque<QString> m_saveFile;
};

} // namespace trelvane::test
