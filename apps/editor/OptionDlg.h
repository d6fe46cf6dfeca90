// COptionDlg: the options (default image settings of new jobs, the user's excluded paths).
#pragma once
#include <QDialog>

#include "core/ExcludedPathList.h"

class CEncodingBoxes;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QStackedWidget;
class QTreeWidget;
namespace tavui {
class IPrompt;
}

// "Backup Settings": the image settings every new job starts with.
class COptionSettings : public QWidget {
    Q_OBJECT
public:
    COptionSettings(tavui::IPrompt& prompt, std::string documentsFolder, QWidget* parent = nullptr);
    void Load();
    void Save();

private:
    tavui::IPrompt& m_prompt;
    std::string m_documents;
    QLineEdit* m_location;
    QComboBox* m_splitSize;
    CEncodingBoxes* m_encoding;
};

// "Excluded Paths": what every backup leaves out, and its switch.
class COptionExcludedPaths : public QWidget {
    Q_OBJECT
public:
    COptionExcludedPaths(tavui::IPrompt& prompt, QWidget* parent = nullptr);
    void Load();
    void Save();

private:
    void Fill(int select);
    void OnAdd();
    void OnRemove();
    void OnDefault();

    tavui::IPrompt& m_prompt;
    editor::CExcludedPathList m_list;
    QCheckBox* m_enable;
    QTreeWidget* m_rows;
};

class COptionDlg : public QDialog {
    Q_OBJECT
public:
    COptionDlg(tavui::IPrompt& prompt, std::string documentsFolder, QWidget* parent = nullptr);
    void accept() override;

private:
    COptionSettings* m_settings;
    COptionExcludedPaths* m_excluded;
};
