// The Qt view on the offscreen platform: real widgets, real mouse and keys.
#include "graphics_test_support.h"
#include "qt_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <memory>

using namespace graphics;

// Readable rectangles in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}
QT_END_NAMESPACE

namespace {

// A window laid out like the programs' own: fixed pixel size, normalized
// controls over a frame, an edit field, a chart with a legend.
class QtWindow : public FreshTree {
protected:
    std::unique_ptr<QtView> view = std::make_unique<QtView>(tree);
    std::vector<std::string> callbacks;
    double figure = 0, frame = 0, title = 0, label = 0, slider = 0, edit = 0, button = 0, axes = 0;

    void SetUp() override {
        FreshTree::SetUp();
        tree.setView(view.get());
        tree.setCallbackRunner([this](const std::string& text) { callbacks.push_back(text); });
        figure = handle(mlfNFigure({T("Name"), T(" Fenêtre d'essai"), T("Position"), Row({100, 100, 682.67, 533.33}),
                                    T("NumberTitle"), T("off")}));
        mlfNSet(N(figure), T("units"), T("normalized"));
        frame = control({T("Position"), Row({0.03, 0.57, 0.45, 0.38}), T("Style"), T("frame")});
        title = control({T("Position"), Row({0.035, 0.91, 0.18, 0.05}), T("String"), T(" Réglage du procédé"),
                         T("Style"), T("text"), T("FontWeight"), T("Bold"), T("HorizontalAlignment"), T("left")});
        label = control({T("Position"), Row({0.68, 0.37, 0.15, 0.05}), T("String"), T("Coût outillage (€)="),
                         T("Style"), T("text"), T("HorizontalAlignment"), T("left")});
        slider = control({T("Style"), T("slider"), T("value"), N(1), T("min"), N(-1), T("max"), N(1), T("Position"),
                          Row({0.25, 0.88, 0.2, 0.03}), T("callback"), T("main slider1")});
        edit = control({T("Style"), T("edit"), T("Position"), Row({0.28, 0.3, 0.08, 0.04}), T("String"), T("0"),
                        T("HorizontalAlignment"), T("left"), T("BackgroundColor"), Row({1, 1, 1}), T("Callback"),
                        T("main edit")});
        button = control({T("Style"), T("pushbutton"), T("String"), T("Réalisation essai"), T("Position"),
                          Row({0.275, 0.58, 0.15, 0.05}), T("Callback"), T("main Trial")});
        axes = handle(mlfNAxes({T("Position"), Row({0.03, 0.06, 0.6, 0.4}), T("box"), T("on")}));
        mlfNPlot(Row({0, 30, 60.44, 80}), Row({0, 0, 30.44, 30.44}), T("m-"), {T("LineWidth"), N(2)});
        mlfNSet(N(axes), T("XLim"), Row({0, 80}));
        mlfNSet(N(axes), T("YLim"), Row({0, 45}));
        mlfHold(T("on"));
        mlfNPlot(Row({0, 30, NAN, 80}), Row({0, 5, 30, 35}), T("r:"), {T("LineWidth"), N(2)});
        mlfNText({T("Position"), Row({15, 15}), T("String"), T("H")});
        mlfNLegend({T("Profil initial"), T("Profil cible"), Row({15, 185, 91.5, 39.4})});
    }

    void TearDown() override {
        FreshTree::TearDown();
        view.reset();
    }

    double control(std::vector<mxArray> pairs) {
        pairs.insert(pairs.begin(), {N(figure), T("Units"), T("normalized")});
        return handle(mlfNUicontrol(pairs));
    }
    FigureWindow* window() const { return view->window(figure); }
    template <class W>
    W* widget(double h) const {
        return dynamic_cast<W*>(view->control(h));
    }
    AxesWidget* chart() const { return window()->axes(axes); }
    double value(double h) const { return handle(mlfNGet(N(h), T("Value"))); }
};

TEST_F(QtWindow, WindowIsPlacedFromItsBottomLeftPositionAndTitledByName) {
    int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    QRect placed = window()->geometry();
    EXPECT_EQ(placed.left(), 99);
    EXPECT_EQ(placed.top(), screenHeight - 99 - 533);
    EXPECT_EQ(placed.size(), QSize(683, 533));
    EXPECT_EQ(window()->windowTitle(), QString::fromUtf8(" Fenêtre d'essai"));
    mlfNSet(N(figure), T("NumberTitle"), T("on"));
    EXPECT_EQ(window()->windowTitle(), QString::fromUtf8("Figure 1:  Fenêtre d'essai"));
}

TEST_F(QtWindow, TextsShowAsUnicodeAndTypedTextsAreStoredAsWindows1252) {
    EXPECT_EQ(widget<QLabel>(label)->text(), QString::fromUtf8("Coût outillage (€)="));
    EXPECT_EQ(widget<QPushButton>(button)->text(), QString::fromUtf8("Réalisation essai"));
    auto* field = widget<QLineEdit>(edit);
    field->selectAll();
    for (QChar typed : QString::fromUtf8("é€"))  // keys beyond ASCII: by their text
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(typed), Qt::NoModifier);
    EXPECT_EQ(mlfNGet(N(edit), T("String")).codes(), (std::u16string{0xE9, 0x80}));
}

TEST_F(QtWindow, NormalizedControlsFollowTheWindowPixelOnesStayPut) {
    double pixels = handle(mlfNUicontrol({N(figure), T("Style"), T("text"), T("Position"), Row({11, 21, 50, 20})}));
    QRect labelAt = widget<QWidget>(label)->geometry();
    EXPECT_EQ(labelAt, QRect(464, 309, 103, 27));  // [0.68 0.37 0.15 0.05] of 683 x 533, top-left origin
    EXPECT_EQ(widget<QWidget>(pixels)->geometry(), QRect(10, 533 - 20 - 20, 50, 20));

    window()->resize(1366, 1066);
    EXPECT_EQ(widget<QWidget>(label)->geometry(), QRect(929, 618, 205, 54));
    EXPECT_EQ(widget<QWidget>(pixels)->geometry(), QRect(10, 1066 - 20 - 20, 50, 20));  // from the bottom left
}

TEST_F(QtWindow, EveryTextFitsItsControlAtTheWindowsSize) {
    for (double h : {title, label}) {
        auto* shown = widget<QLabel>(h);
        EXPECT_LE(shown->fontMetrics().horizontalAdvance(shown->text()), shown->contentsRect().width())
            << shown->text().toStdString();
    }
    mlfNSet(N(label), T("String"), T("Un texte bien trop long pour tenir dans la place"));
    auto* shown = widget<QLabel>(label);
    EXPECT_LT(shown->font().pixelSize(), 10);  // shrunk, down to a floor
    mlfNSet(N(label), T("String"), T("A=16°"));
    EXPECT_EQ(shown->font().pixelSize(), 10);  // 7.5 points of the fixed-size window
}

TEST_F(QtWindow, FramesLieUnderWhatIsCreatedAfterThemAxesUnderControls) {
    QObjectList stack = window()->children();  // bottom first
    auto depth = [&](QWidget* w) { return stack.indexOf(w); };
    EXPECT_LT(depth(chart()), depth(widget<QWidget>(frame)));
    EXPECT_LT(depth(widget<QWidget>(frame)), depth(widget<QWidget>(title)));
    EXPECT_LT(depth(widget<QWidget>(title)), depth(widget<QWidget>(button)));
}

TEST_F(QtWindow, ClickingTheButtonRunsItsCallbackOnce) {
    QTest::mouseClick(widget<QPushButton>(button), Qt::LeftButton);
    EXPECT_EQ(callbacks, (std::vector<std::string>{"main Trial"}));
}

TEST_F(QtWindow, DraggingTheSliderRunsItsCallbackOnceOnRelease) {
    auto* bar = widget<QSlider>(slider);
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    QRect knob = bar->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, bar);
    QPoint at = knob.center();
    QTest::mousePress(bar, Qt::LeftButton, {}, at);
    for (int step = 1; step <= 5; ++step) {
        QMouseEvent move(QEvent::MouseMove, at - QPoint(10 * step, 0), bar->mapToGlobal(at - QPoint(10 * step, 0)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
    }
    EXPECT_TRUE(callbacks.empty()) << "no callback on the way";
    EXPECT_EQ(value(slider), 1);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, at - QPoint(50, 0));
    EXPECT_EQ(callbacks, (std::vector<std::string>{"main slider1"}));
    EXPECT_LT(value(slider), 0.5);
    EXPECT_GT(value(slider), -1);
}

TEST_F(QtWindow, AKeyStepOrATroughClickIsOneCompletedMoveEach) {
    auto* bar = widget<QSlider>(slider);
    QTest::keyClick(bar, Qt::Key_Left);
    EXPECT_EQ(callbacks.size(), 1u);
    EXPECT_DOUBLE_EQ(value(slider), 0.98);  // a hundredth of the range
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(3, bar->height() / 2));
    EXPECT_EQ(callbacks.size(), 2u);
    EXPECT_DOUBLE_EQ(value(slider), 0.78);  // a tenth of the range
}

TEST_F(QtWindow, TheProgramsValueIsKeptExactlyAndFiresNothing) {
    mlfNSet(N(slider), T("Value"), N(0.123456789));
    EXPECT_EQ(value(slider), 0.123456789);
    EXPECT_EQ(widget<QSlider>(slider)->value(), 5617);  // nearest of the fine scale
    EXPECT_TRUE(callbacks.empty());

    widget<SliderControl>(slider)->moveTo(-0.3333);  // the scripted user's move
    EXPECT_EQ(value(slider), -0.3333);
    EXPECT_EQ(callbacks, (std::vector<std::string>{"main slider1"}));
    // A move beyond an end stops there, as the bar does under a hand.
    widget<SliderControl>(slider)->moveTo(8);
    EXPECT_EQ(value(slider), 1);
    EXPECT_EQ(widget<QSlider>(slider)->value(), widget<QSlider>(slider)->maximum());
    widget<SliderControl>(slider)->moveTo(-1e300);
    EXPECT_EQ(value(slider), -1);
    EXPECT_EQ(callbacks.size(), 3u);
}

TEST_F(QtWindow, LeavingAnEditedFieldRunsItsCallbackOnceItsStringIsWhatItShows) {
    auto* field = widget<QLineEdit>(edit);
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "1.5");
    EXPECT_EQ(mlfNGet(N(edit), T("String")).toUtf8(), "1.5");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(callbacks, (std::vector<std::string>{"main edit"}));
    QTest::keyClick(field, Qt::Key_Return);  // nothing changed since
    EXPECT_EQ(callbacks.size(), 1u);

    mlfNSet(N(edit), T("String"), T("-0.007962"));
    EXPECT_EQ(field->text(), "-0.007962");
    EXPECT_EQ(callbacks.size(), 1u);
}

// A number longer than its field reads from its first character, never as
// its last digits, and the tooltip holds it whole.
TEST_F(QtWindow, AFieldNotBeingEditedShowsTheStartOfItsTextAndAllOfItInItsTooltip) {
    auto* field = widget<EditControl>(edit);
    const QString longer = "12345.678901234567";
    ASSERT_GT(field->fontMetrics().horizontalAdvance(longer), field->contentsRect().width());

    QApplication::setActiveWindow(window());
    field->setFocus();  // the window's first field has it at start
    ASSERT_TRUE(field->hasFocus());
    mlfNSet(N(edit), T("String"), T("12345.678901234567"));  // a re-read
    EXPECT_EQ(field->cursorPosition(), 0);
    EXPECT_EQ(field->toolTip(), longer);

    field->typeAndLeave("-0.000000312000000");  // a scripted entry
    EXPECT_EQ(field->cursorPosition(), 0);
    EXPECT_EQ(field->toolTip(), "-0.000000312000000");

    field->end(false);  // typed by hand: the cursor follows the typing, then goes home
    QTest::keyClicks(field, "99");
    EXPECT_EQ(field->cursorPosition(), field->text().size());
    EXPECT_EQ(field->toolTip(), "-0.00000031200000099");
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(field, &leave);
    EXPECT_EQ(field->cursorPosition(), 0);
}

// The pause runs on a precise timer: never shorter than asked, whatever its
// length and the moment it starts (a coarse timer rounds its end to a
// boundary, up to a twentieth of the pause early).
TEST_F(QtWindow, APauseNeverEndsEarly) {
    for (double seconds : {0.33, 2.0, 0.21}) {  // 2 s: the editor's message
        QElapsedTimer clock;
        clock.start();
        mlfPause(N(seconds));
        EXPECT_GE(clock.nsecsElapsed(), static_cast<qint64>(seconds * 1e9)) << seconds << " s";
    }
}

TEST_F(QtWindow, TheChartDrawsCurvesInOrderSkipsNonFinitePointsAndListsTheLegend) {
    AxesWidget* plot = chart();
    // The magenta line, then the red one split in two at its NaN.
    ASSERT_EQ(plot->plottableCount(), 3);
    auto* initial = dynamic_cast<QCPCurve*>(plot->plottable(0));
    auto* target = dynamic_cast<QCPCurve*>(plot->plottable(1));
    EXPECT_EQ(initial->pen().color(), QColor(Qt::magenta));
    EXPECT_EQ(target->pen().style(), Qt::DotLine);
    EXPECT_EQ(target->dataCount(), 2);
    EXPECT_EQ(dynamic_cast<QCPCurve*>(plot->plottable(2))->dataCount(), 1);
    ASSERT_EQ(plot->legend->itemCount(), 2);
    auto entry = [&](int k) { return dynamic_cast<QCPPlottableLegendItem*>(plot->legend->item(k))->plottable(); };
    EXPECT_EQ(entry(0), initial);
    EXPECT_EQ(entry(1), target);
    EXPECT_EQ(initial->name(), "Profil initial");
    EXPECT_EQ(target->name(), "Profil cible");
    EXPECT_TRUE(plot->xAxis2->visible());  // box on
    EXPECT_EQ(plot->xAxis->range(), QCPRange(0, 80));
    EXPECT_EQ(plot->itemCount(), 1);

    mlfHold(T("off"));
    mlfNPlot(Row({1, 2}), Row({1, 4}), T("bo-"));
    ASSERT_EQ(plot->plottableCount(), 1);
    EXPECT_FALSE(plot->legend->visible());
    EXPECT_EQ(dynamic_cast<QCPCurve*>(plot->plottable(0))->scatterStyle().shape(), QCPScatterStyle::ssCircle);
    EXPECT_EQ(plot->yAxis->range(), QCPRange(1, 4));
}

// The simulator deletes its chart and draws a new one at every trial.
TEST_F(QtWindow, NewAxesAfterADeletedOneShowOnlyTheirOwnDrawing) {
    AxesWidget* old = chart();
    mlfDelete(N(axes));
    EXPECT_FALSE(window()->axes(axes));
    axes = handle(mlfNAxes({T("Position"), Row({0.5, 0.5, 0.3, 0.3}), T("box"), T("off")}));
    mlfNPlot(Row({2, 3}), Row({5, 7}), T("b-"));
    AxesWidget* plot = chart();
    EXPECT_EQ(plot, old);  // the old widget, reused
    EXPECT_TRUE(plot->isVisible());
    ASSERT_EQ(plot->plottableCount(), 1);
    EXPECT_EQ(plot->itemCount(), 0);
    EXPECT_FALSE(plot->legend->visible());
    EXPECT_FALSE(plot->xAxis2->visible());
    EXPECT_EQ(plot->xAxis->range(), QCPRange(2, 3));
    EXPECT_EQ(plot->geometry().marginsRemoved(AxesWidget::frame()),
              QRect(342, 107, 204, 160));  // from the new position, not the old one
}

TEST_F(QtWindow, APauseKeepsOtherCallbacksOut) {
    QTimer::singleShot(10, widget<QPushButton>(button), &QPushButton::click);
    mlfPause(N(0.1));
    EXPECT_TRUE(callbacks.empty());
    widget<QPushButton>(button)->click();
    EXPECT_EQ(callbacks.size(), 1u);
}

TEST_F(QtWindow, ACallbackMayDeleteItsOwnControlOrCloseTheWindow) {
    tree.setCallbackRunner([this](const std::string&) { mlfDelete(N(button)); });
    widget<QPushButton>(button)->click();
    EXPECT_FALSE(view->control(button));
    tree.setCallbackRunner([](const std::string&) { mlfNClose(T("all")); });
    widget<QSlider>(slider)->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_FALSE(view->window(figure));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(QtWindow, ClosingTheWindowDeletesTheFigure) {
    window()->close();
    EXPECT_FALSE(tree.contains(figure));
    EXPECT_FALSE(tree.contains(slider));
}

TEST_F(QtWindow, ASnapshotIsAPictureOfTheWholeWindow) {
    QPixmap picture = window()->snapshot();
    EXPECT_EQ(picture.size(), QSize(683, 533));
    QString file = qEnvironmentVariable("GRAPHICS_SNAPSHOT");  // set it to look at the picture
    if (!file.isEmpty()) {
        EXPECT_TRUE(picture.save(file));
    }
}

// A view hands what the user does to the tree it was built for, never to the
// tree behind the programs' graphics calls.
TEST(QtViewOfItsOwnTree, UserActionsReachThatTreeOnly) {
    Tree own;
    QtView shown(own);
    own.setView(&shown);
    std::vector<std::string> fired;
    own.setCallbackRunner([&](const std::string& text) { fired.push_back(text); });
    double figure = own.create(Type::Figure, 0, {T("Position"), Row({100, 100, 400, 300})});
    auto control = [&](const char* style, const char* callback) {
        return own.create(Type::Uicontrol, figure,
                          {T("Style"), T(style), T("Min"), N(-1), T("Max"), N(1), T("Callback"), T(callback)});
    };
    double slider = control("slider", "p slider"), edit = control("edit", "p edit"),
           button = control("pushbutton", "p ok");
    const std::size_t programObjects = programTree().subtree(0).size();

    dynamic_cast<SliderControl&>(*shown.control(slider)).moveTo(0.5);
    dynamic_cast<EditControl&>(*shown.control(edit)).typeAndLeave(QStringLiteral("12"));
    QTest::mouseClick(dynamic_cast<QPushButton*>(shown.control(button)), Qt::LeftButton);
    EXPECT_EQ(own.get(slider, "Value"), N(0.5));
    EXPECT_EQ(own.get(edit, "String"), T("12"));
    EXPECT_EQ(fired, (std::vector<std::string>{"p slider", "p edit", "p ok"}));
    EXPECT_EQ(programTree().subtree(0).size(), programObjects);

    shown.window(figure)->close();
    EXPECT_FALSE(own.contains(figure));
    EXPECT_FALSE(shown.window(figure));
    own.setView(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
