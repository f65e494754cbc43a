#pragma once

#include <QList>
#include <QObject>

#include <memory>
#include <set>
#include <vector>

class ObjCShare;

// The list model a share window's view controllers share: the shares, the selection and the
// loading state. Writers keep `isEmpty` in step with `shares` themselves.
class ShareDataSource : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isEmpty READ isEmpty WRITE setIsEmpty NOTIFY isEmptyChanged)
    Q_PROPERTY(bool isLoading READ isLoading WRITE setIsLoading NOTIFY isLoadingChanged)

public:
    using Shares = std::vector<std::shared_ptr<ObjCShare>>;
    using IndexSet = std::set<int>;

    explicit ShareDataSource(QObject* parent = nullptr) : QObject(parent) {}

    bool isEmpty() const { return isEmpty_; }
    bool isLoading() const { return isLoading_; }
    const Shares& shares() const { return shares_; }
    const IndexSet& selectionIndexes() const { return selectionIndexes_; }

    void setIsEmpty(bool value);
    void setIsLoading(bool value);
    void setShares(Shares shares);
    void setSelectionIndexes(IndexSet indexes);

signals:
    void isEmptyChanged();
    void isLoadingChanged();
    void sharesChanged();
    void selectionIndexesChanged();

private:
    bool isEmpty_ = true;
    bool isLoading_ = false;
    Shares shares_;
    IndexSet selectionIndexes_;
};
