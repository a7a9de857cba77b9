#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs `inspect` on the modal dialog that the next call opens, once it is up. For widget tests only.
inline void whenModal(std::function<void(QWidget*)> inspect)
{
    QTimer::singleShot(0, [inspect = std::move(inspect)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            whenModal(inspect);
            return;
        }
        inspect(modal);
    });
}
