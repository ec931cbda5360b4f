// The floor of a start-up: a bare Qt window holding one chart, painted once
// offscreen, then the program ends. ui_probe times it in the same run as the
// simulator, so that the ratio between the two says what the simulator adds.
#include <QApplication>
#include <QTimer>
#include <qcustomplot.h>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCustomPlot chart;
    chart.resize(683, 512);
    auto* curve = new QCPCurve(chart.xAxis, chart.yAxis);
    curve->setData({0, 30, 60.44, 80}, {0, 0, 30.44, 30.44});
    chart.xAxis->setRange(0, 80);
    chart.yAxis->setRange(0, 45);
    chart.show();
    QTimer::singleShot(0, &chart, [&chart] {
        chart.grab();
        QCoreApplication::quit();
    });
    return app.exec();
}
