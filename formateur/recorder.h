// Watches data/ and turns every rewrite of config_outillage.dat into a row of
// the journal. The simulator replaces its files by renaming a temporary file
// over them, so the folder is watched, not the files.
#pragma once

#include "journal.h"

#include <QFileSystemWatcher>
#include <QObject>

#include <sys/types.h>

class TrialRecorder : public QObject {
    Q_OBJECT
public:
    // workFolder: the simulator's working folder, holding data/.
    TrialRecorder(const QString& workFolder, JournalFile& journal, QObject* parent = nullptr);

    bool dataFolderPresent() const { return present_; }
    int session() const { return session_; }

signals:
    void recorded(const Trial& trial);
    void dataFolderChanged(bool present);
    void problem(const QString& message);

private:
    // Identity of one version of the log: a rename gives a new inode and
    // change time even when the content is the same.
    struct Stamp {
        ino_t inode = 0;
        qint64 changed = 0, modified = 0;
        bool operator==(const Stamp& o) const {
            return inode == o.inode && changed == o.changed && modified == o.modified;
        }
    };
    static Stamp stampOf(const QString& path);

    void scan();
    // Takes what data/ holds now as known, without recording it.
    void settle();
    void record();

    QString workFolder_, dataFolder_, logPath_;
    JournalFile& journal_;
    QFileSystemWatcher watcher_;
    bool present_ = false;
    Stamp lastLog_;
    int session_;
    int lastCount_ = 0;
    bool newSessionDue_ = false;
};
