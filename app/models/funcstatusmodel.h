#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>

#include <array>

namespace lexivo {

class Cp1252Codec;
class Workspace;

// The work status grid's rows, read from the workspace as the view asks for
// them: row i is function i. Columns: the status image, "Functions",
// "Translator", the hidden "InternalFuncNum" (the function index every
// command maps a sorted row through) and "Translated". Every column also
// answers SortRole with the value it sorts by.
//
// A model of its own rather than a grid of items: a thousand rows of five
// items each held megabytes of copies of what the workspace already holds.
class FuncStatusModel : public QAbstractTableModel {
public:
    static constexpr int SortRole = Qt::UserRole + 1;

    FuncStatusModel(Workspace& ws, const Cp1252Codec& codec, QObject* parent = nullptr);

    // Reads the rows again: after loading, and when the code page changed.
    void reload();
    // Function index changed its status or translator / its progress.
    void refreshRow(int index);
    void refreshProgress(int index);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QIcon statusIcon(int code) const;

    Workspace& m_ws;
    const Cp1252Codec& m_codec;
    int m_rows = 0;
    // The function list's texts, decoded once: sorting asks for every one.
    QStringList m_names;
    // The three status images, drawn once when first shown.
    mutable std::array<QIcon, 3> m_icons;
};

} // namespace lexivo
