// Send by e-mail: hands the zip package to the user's mail program, as a new
// message to the events mailbox with the package attached (xdg-email). Where
// no mail program can be opened the user is told so and where the package
// lies, and the desktop is asked to show that folder, to attach it by hand.
#pragma once

#include <QDate>
#include <QObject>
#include <QStringList>

class PackageMail : public QObject {
    Q_OBJECT
public:
    explicit PackageMail(QObject *parent);
    ~PackageMail() override;

    // Opens a new message with the zip package of `directory` attached and
    // returns at once: the mail program may stay open long after. A failure
    // to open it is reported once xdg-email has answered.
    void send(const QString &directory);
    // Whether an xdg-email started here has not answered yet.
    bool running() const;

    // What xdg-email is given: the subject the events mailbox asks for, a
    // line naming the login id and the day, the package, the mailbox.
    static QStringList arguments(const QString &package, const QString &login, const QDate &day);

signals:
    // xdg-email has answered: `opened` when the mail program has the message.
    void ended(bool opened);

private:
    void failed(const QString &directory, const QString &reason);
};
