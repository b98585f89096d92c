#include "funcstatusmodel.h"

#include "widgets/icons.h"
#include "workspace.h"
#include "workspace/cp1252codec.h"

namespace lexivo {

namespace {
enum Column { StatusColumn, NameColumn, TranslatorColumn, IndexColumn, TranslatedColumn };
constexpr int Columns = 5;
} // namespace

FuncStatusModel::FuncStatusModel(Workspace& ws, const Cp1252Codec& codec, QObject* parent)
    : QAbstractTableModel(parent), m_ws(ws), m_codec(codec) {}

void FuncStatusModel::reload() {
    beginResetModel();
    m_names.clear();
    m_rows = m_ws.funcStatusLoaded() ? m_ws.functionCount() : 0;
    m_names.reserve(m_rows);
    for (int i = 0; i < m_rows; ++i)
        m_names.append(m_codec.decode(m_ws.functionListItem(i)));
    endResetModel();
}

void FuncStatusModel::refreshRow(int index) {
    if (index < 0 || index >= m_rows) return;
    emit dataChanged(this->index(index, 0), this->index(index, Columns - 1));
}

void FuncStatusModel::refreshProgress(int index) {
    if (index < 0 || index >= m_rows) return;
    emit dataChanged(this->index(index, TranslatedColumn), this->index(index, TranslatedColumn));
}

int FuncStatusModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int FuncStatusModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QIcon FuncStatusModel::statusIcon(int code) const {
    if (code < 0 || code >= int(m_icons.size())) return {};
    QIcon& icon = m_icons[size_t(code)];
    if (icon.isNull()) icon = QIcon(statusImage(code));
    return icon;
}

QVariant FuncStatusModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows) return {};
    const int row = index.row();
    switch (index.column()) {
    case StatusColumn:
        if (role == Qt::DecorationRole) return statusIcon(m_ws.functionStatus(row));
        if (role == SortRole) return m_ws.functionStatus(row);
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
        break;
    case NameColumn:
        if (role == Qt::DisplayRole || role == SortRole) return m_names.value(row);
        break;
    case TranslatorColumn:
        if (role == Qt::DisplayRole || role == SortRole)
            return m_codec.decode(m_ws.functionTranslatorName(row));
        break;
    case IndexColumn:
        if (role == Qt::DisplayRole) return QString::number(row);
        if (role == SortRole) return row;
        break;
    case TranslatedColumn: {
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole && role != SortRole) break;
        // "translated/total", sorted by the share translated, then by the total.
        const Workspace::LineCount count = m_ws.functionProgress(row);
        if (role == Qt::DisplayRole)
            return QStringLiteral("%1/%2").arg(count.translated).arg(count.total);
        const double share =
            count.total > 0 ? double(count.translated) / double(count.total) : 0.0;
        return share + double(count.total) * 1e-9;
    }
    default:
        break;
    }
    return {};
}

QVariant FuncStatusModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case NameColumn:
        return QStringLiteral("Functions");
    case TranslatorColumn:
        return QStringLiteral("Translator");
    case IndexColumn:
        return QStringLiteral("InternalFuncNum");
    case TranslatedColumn:
        return QStringLiteral("Translated");
    default:
        return QString();
    }
}

} // namespace lexivo
