#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <vector>

class Localization;

/// Answers the application's alerts as a user would, by pressing their buttons: each alert that comes
/// up is recorded by its code and answered with the next of the given results (the default button, 1,
/// once they run out).
class AlertAnswerer : public QObject {
    Q_OBJECT

public:
    /// `texts` tells the alerts apart by their titles; it must outlive the answerer.
    explicit AlertAnswerer(const Localization& texts, std::deque<int> answers = {});

    /// The codes of the alerts answered so far, in order; -1 for a box that is none of them.
    const std::vector<int32_t>& codes() const { return mCodes; }
    /// What each alert showed: title, message and button captions, and whether a progress sheet was
    /// still up under it.
    struct Shown {
        QString title;
        QString message;
        QStringList buttons;
        int icon = 0;
        bool overSheet = false;
    };
    const std::vector<Shown>& shown() const { return mShown; }

private:
    void answer();

    const Localization& mTexts;
    std::deque<int> mAnswers;
    std::vector<int32_t> mCodes;
    std::vector<Shown> mShown;
    QTimer mTimer;
};
