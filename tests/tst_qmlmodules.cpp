#include <QFile>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QTest>

namespace {

const QStringList kModuleHeader(const QString &module)
{
    return {
        QStringLiteral("module %1").arg(module),
        QStringLiteral("linktarget %1plugin").arg(module),
        QStringLiteral("optional plugin %1plugin").arg(module),
        QStringLiteral("classname %1Plugin").arg(module),
        QStringLiteral("typeinfo %1.qmltypes").arg(module),
        QStringLiteral("prefer :/qt/qml/%1/").arg(module),
    };
}

// The pieces that the content module's documents share and its importers do not see.
const QStringList kInternalTypes = {
    QStringLiteral("FormField"), QStringLiteral("FormButton"), QStringLiteral("FormLink"),
    QStringLiteral("FormBackArrow"), QStringLiteral("PageHeader"), QStringLiteral("HeaderArrow"),
    QStringLiteral("PageScroll"), QStringLiteral("ListPage"),
};

QStringList qmldirLines(const QString &module)
{
    QFile qmldir(QStringLiteral(":/qt/qml/%1/qmldir").arg(module));
    if (!qmldir.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(qmldir.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

// The two QML modules as the program builds them into its resources: the types an importer
// sees, in their order, and the shared pieces that only the module's own documents use.
class TestQmlModules : public QObject
{
    Q_OBJECT

private slots:
    void publicTypes_data();
    void publicTypes();
    void sharedPiecesStayInside_data();
    void sharedPiecesStayInside();
};

void TestQmlModules::publicTypes_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("UntitledProject1") << QStringLiteral("UntitledProject1")
        << kModuleHeader(QStringLiteral("UntitledProject1")) + QStringList {
               QStringLiteral("singleton Constants 1.0 Constants.qml"),
               QStringLiteral("EventListModel 1.0 EventListModel.qml"),
               QStringLiteral("EventListSimulator 1.0 EventListSimulator.qml"),
           };

    QStringList content = kModuleHeader(QStringLiteral("UntitledProject1Content"));
    const QStringList documents = {
        QStringLiteral("App App.qml"),
        QStringLiteral("ConnectButton ConnectButton.qml"),
        QStringLiteral("MessageDialog MessageDialog.qml"),
        QStringLiteral("RegisterScreen RegisterScreen.ui.qml"),
        QStringLiteral("RegisterScreenWrapper RegisterScreenWrapper.qml"),
        QStringLiteral("LoginScreen LoginScreen.ui.qml"),
        QStringLiteral("LoginScreenWrapper LoginScreenWrapper.qml"),
        QStringLiteral("AboutUsScreen AboutUsScreen.ui.qml"),
        QStringLiteral("SelectServerScreen SelectServerScreen.ui.qml"),
        QStringLiteral("AnnouncementScreen AnnouncementScreen.ui.qml"),
        QStringLiteral("AnnouncementScreenWrapper AnnouncementScreenWrapper.qml"),
        QStringLiteral("MyOrdersScreen MyOrdersScreen.ui.qml"),
        QStringLiteral("MyOrdersScreenWrapper MyOrdersScreenWrapper.qml"),
        QStringLiteral("VipScreen VipScreen.ui.qml"),
        QStringLiteral("SettingsScreen SettingsScreen.ui.qml"),
        QStringLiteral("SettingsScreenWrapper SettingsScreenWrapper.qml"),
        QStringLiteral("SplashScreen SplashScreen.ui.qml"),
        QStringLiteral("Screen Screen.ui.qml"),
        QStringLiteral("ScreenWrapper ScreenWrapper.qml"),
        QStringLiteral("BackButton BackButton.qml"),
    };
    for (const QString &document : documents)
        content << document.section(QLatin1Char(' '), 0, 0) + QStringLiteral(" 1.0 ") + document.section(QLatin1Char(' '), 1);
    QTest::newRow("UntitledProject1Content") << QStringLiteral("UntitledProject1Content") << content;
}

void TestQmlModules::publicTypes()
{
    QFETCH(QString, module);
    QFETCH(QStringList, lines);

    QStringList visible;
    for (const QString &line : qmldirLines(module)) {
        if (!line.startsWith(QStringLiteral("internal ")))
            visible << line;
    }
    QCOMPARE(visible, lines);
}

void TestQmlModules::sharedPiecesStayInside_data()
{
    QTest::addColumn<QString>("type");
    for (const QString &type : kInternalTypes)
        QTest::newRow(qPrintable(type)) << type;
}

void TestQmlModules::sharedPiecesStayInside()
{
    QFETCH(QString, type);

    QVERIFY(qmldirLines(QStringLiteral("UntitledProject1Content"))
                .contains(QStringLiteral("internal %1 %1.qml").arg(type)));

    QQmlEngine engine;
    engine.addImportPath(QStringLiteral(":/qt/qml"));
    QQmlComponent importer(&engine);
    importer.setData(QStringLiteral("import UntitledProject1Content\n%1 {}\n").arg(type).toUtf8(),
                     QUrl(QStringLiteral("qrc:/importer.qml")));
    QVERIFY(importer.isError());
    QVERIFY2(importer.errorString().contains(QStringLiteral("%1 is not a type").arg(type)),
             qPrintable(importer.errorString()));
}

QTEST_MAIN(TestQmlModules)
#include "tst_qmlmodules.moc"
