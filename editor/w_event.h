// The main window: four tab pages over the event data and the Save, Export
// and Close buttons.
#pragma once

#include <QStringList>
#include <QWidget>

class QTabWidget;
class QPushButton;

class w_event : public QWidget {
    Q_OBJECT
public:
    explicit w_event(QWidget *parent = nullptr);

    // The open event: message texts, centring, the program and data
    // folders, the settings file; then shows the window.
    void open();

    // Creates a folder; 0 when it was created, -1 otherwise.
    qint16 wf_create_directory(const QString &as_directoryname);

    QString message(int index) const; // is_messages[index], from 1

    QStringList is_messages; // index 0 unused: elements are counted from 1
    QString is_event_id;
    QString is_help_topic;
    QString is_helpfile = QStringLiteral("VantelHelp.chm");
    qint16 ii_anim = 0;
    QWidget *iw_parent = nullptr;

private:
    void buildMessages(const QString &thirdLine);
    QString currentFolder() const;

    QTabWidget *tab_1 = nullptr;
    QPushButton *pb_save = nullptr;
    QPushButton *pb_export = nullptr;
    QPushButton *pb_close = nullptr;
};
