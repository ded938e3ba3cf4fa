#include "PropPage.h"

#include <QCheckBox>

void showCheckValue(QCheckBox* box, int& flag)
{
    if (flag < 0 || flag > 2)
        flag = 0;
    box->setCheckState(flag == 2 ? Qt::PartiallyChecked : flag == 1 ? Qt::Checked : Qt::Unchecked);
}

int takenCheckValue(const QCheckBox* box)
{
    switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
    }
}
