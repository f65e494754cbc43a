#include "app/sharing/ShareDataSource.h"

#include "app/sharing/ObjCShare.h"

void ShareDataSource::setIsEmpty(bool value) {
    if (isEmpty_ == value) return;
    isEmpty_ = value;
    emit isEmptyChanged();
}

void ShareDataSource::setIsLoading(bool value) {
    if (isLoading_ == value) return;
    isLoading_ = value;
    emit isLoadingChanged();
}

void ShareDataSource::setShares(Shares shares) {
    shares_ = std::move(shares);
    emit sharesChanged();
}

void ShareDataSource::setSelectionIndexes(IndexSet indexes) {
    if (selectionIndexes_ == indexes) return;
    selectionIndexes_ = std::move(indexes);
    emit selectionIndexesChanged();
}
