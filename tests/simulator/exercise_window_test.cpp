// The « Exercice en cours » window: where it opens beside the simulator's,
// and what it counts until the exercise ends.
#include "exercise_window.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <utility>

namespace {

ClassExercise exam() {
    ClassExercise e;
    e.number = 7;
    e.name = "<i>Pliage</i> à 90°";
    e.exam = true;
    e.maxTrials = 2;
    e.secondsLeft = 1.5;
    return e;
}

QStringList shownTexts(const QWidget& window) {
    QStringList texts;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText);  // names come from the server
        if (label->isVisibleTo(&window)) texts << label->text();
    }
    return texts;
}

}  // namespace

TEST(ExerciseWindow, OpensBesideTheSimulatorOnItsScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const std::pair<const char*, QRect> cases[] = {
        {"room on the right", QRect(screen.topLeft(), QSize(screen.width() / 2, screen.height() / 2))},
        {"room on the left", QRect(screen.center().x(), screen.top(), screen.width() / 2, screen.height() / 2)},
        {"room below only", QRect(screen.topLeft(), QSize(screen.width(), screen.height() / 3))},
    };
    for (const auto& [where, area] : cases) {
        QWidget simulator;
        simulator.setGeometry(area);
        simulator.show();
        ExerciseWindow window(&simulator);
        window.showExercise(exam(), 0);
        EXPECT_TRUE(window.isVisible()) << where;
        EXPECT_TRUE(screen.contains(window.frameGeometry())) << where;
        EXPECT_FALSE(window.frameGeometry().intersects(simulator.frameGeometry())) << where;
    }
}

TEST(ExerciseWindow, CountsTheTimeAndTheTrialsLeftUntilTheExerciseEnds) {
    ExerciseWindow window(nullptr);
    window.showExercise(exam(), 1);
    const QStringList first = shownTexts(window);
    for (const char* text : {"Examen", "<i>Pliage</i> à 90°", "0:02", "1 sur 2"})
        EXPECT_TRUE(first.contains(text)) << text << " not in " << first.join(" | ").toStdString();
    window.countTrial(6);  // another exercise's
    EXPECT_TRUE(shownTexts(window).contains("1 sur 2"));
    window.countTrial(7);
    // Told again, as after a reconnection, before the journal had that trial.
    window.showExercise(exam(), 1);
    EXPECT_TRUE(shownTexts(window).contains("0 sur 2"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return shownTexts(window).contains("Exercice terminé"); }, 10'000));
    EXPECT_FALSE(shownTexts(window).contains("0 sur 2"));
    EXPECT_EQ(window.windowTitle(), "Exercice terminé");

    ClassExercise open = exam();
    open.number = 8, open.exam = false, open.maxTrials.reset(), open.secondsLeft.reset();
    window.showExercise(open, 0);
    EXPECT_EQ(shownTexts(window).count("sans limite"), 2);
    EXPECT_TRUE(shownTexts(window).contains("Entraînement"));
    EXPECT_EQ(window.windowTitle(), "Exercice en cours");
    window.showExercise(ClassExercise{}, 0);  // the trainer stopped it
    EXPECT_TRUE(shownTexts(window).contains("Exercice terminé"));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
