#include "ModalDialogs.h"
#include "ScriptedAsker.h"
#include "WebPageDlg.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

QString addressOfLength(int length)
{
    QString address = QStringLiteral("http://example.org/");
    while (address.size() < length)
        address += QLatin1Char('p');
    return address;
}

} // namespace

class WebPageDlgTests : public QObject {
    Q_OBJECT

private slots:
    void showsTemplateTexts();
    void typingStopsAtNinetyCharacters();
    void confirmingLongAddress_data();
    void confirmingLongAddress();
    void editAddress_data();
    void editAddress();
    void cancelGivesNothing();
};

void WebPageDlgTests::showsTemplateTexts()
{
    ScriptedAsker asker;
    WebPageDlg dialog(asker, QStringLiteral("http://a.org/x.html"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Add/Modify Web Page"));
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        labels.append(label->text());
    QVERIFY(labels.contains(QStringLiteral("Internet Address")));
    QCOMPARE(dialog.address(), QStringLiteral("http://a.org/x.html"));
    QVERIFY(dialog.findChild<QPushButton*>("okButton")->isDefault());
    QCOMPARE(dialog.findChild<QPushButton*>("cancelButton")->text(), QStringLiteral("Cancel"));
}

void WebPageDlgTests::typingStopsAtNinetyCharacters()
{
    ScriptedAsker asker;
    WebPageDlg dialog(asker);
    dialog.show();
    auto* edit = dialog.findChild<QLineEdit*>("addressEdit");
    QTest::keyClicks(edit, addressOfLength(95));
    QCOMPARE(edit->text(), addressOfLength(90));
    QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(asker.questions.isEmpty());
}

void WebPageDlgTests::confirmingLongAddress_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("89") << 89 << true;
    QTest::newRow("90") << 90 << true;
    QTest::newRow("91") << 91 << false;
    QTest::newRow("200") << 200 << false;
}

void WebPageDlgTests::confirmingLongAddress()
{
    QFETCH(int, length);
    QFETCH(bool, accepted);
    ScriptedAsker asker;
    asker.answers.enqueue(Asker::Answer::Ok);
    WebPageDlg dialog(asker, addressOfLength(length));
    QCOMPARE(dialog.address(), addressOfLength(length));  // kept whole, not cut
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);

    if (accepted) {
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(asker.questions.isEmpty());
        return;
    }
    QVERIFY(dialog.isVisible());
    QCOMPARE(asker.questionTexts(),
             QStringList{QStringLiteral("Please enter no more than 90 characters.")});
    QCOMPARE(asker.questions.first().buttons, Asker::Buttons::Ok);
    auto* edit = dialog.findChild<QLineEdit*>("addressEdit");
    QCOMPARE(edit->selectedText(), addressOfLength(length));

    // Shortened to the limit, the address is taken.
    edit->setText(addressOfLength(90));
    QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.address(), addressOfLength(90));
    QCOMPARE(asker.questions.size(), 1);
    QCOMPARE(asker.unexpectedCalls, 0);
}

void WebPageDlgTests::editAddress_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");

    QTest::newRow("add without scheme")
        << "" << "example.org/a.html" << "http://example.org/a.html";
    QTest::newRow("add capital HTTPS") << "" << "HTTPS://Example.org/A" << "HTTPS://Example.org/A";
    QTest::newRow("add other scheme") << "" << "ftp://host/f" << "http://ftp://host/f";
    QTest::newRow("add empty") << "" << "" << "http://";
    QTest::newRow("modify, scheme removed") << "http://old.org/x.html" << "new.org/y.html"
                                            << "http://new.org/y.html";
    QTest::newRow("modify, left as it was") << "http://old.org/x.html" << QString()
                                            << "http://old.org/x.html";
}

void WebPageDlgTests::editAddress()
{
    QFETCH(QString, start);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    ScriptedAsker asker;
    QString shownAtStart;
    whenModalOpens<WebPageDlg>(this, [&](WebPageDlg& dialog) {
        auto* edit = dialog.findChild<QLineEdit*>("addressEdit");
        shownAtStart = edit->text();
        if (!typed.isNull()) {
            edit->clear();
            QTest::keyClicks(edit, typed);
        }
        QTest::keyClick(edit, Qt::Key_Return);
    });
    const std::optional<QString> result = WebPageDlg::editAddress(asker, start);
    QCOMPARE(shownAtStart, start);
    QVERIFY(result.has_value());
    QCOMPARE(*result, expected);
}

void WebPageDlgTests::cancelGivesNothing()
{
    ScriptedAsker asker;
    whenModalOpens<WebPageDlg>(this, [](WebPageDlg& dialog) {
        QTest::keyClicks(dialog.findChild<QLineEdit*>("addressEdit"), "changed.org");
        QTest::mouseClick(dialog.findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    });
    QVERIFY(!WebPageDlg::editAddress(asker, QStringLiteral("http://kept.org")).has_value());

    whenModalOpens<WebPageDlg>(this, [](WebPageDlg& dialog) {
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    QVERIFY(!WebPageDlg::editAddress(asker, QString()).has_value());
    QVERIFY(asker.questions.isEmpty());
}

QTEST_MAIN(WebPageDlgTests)
#include "WebPageDlgTests.moc"
