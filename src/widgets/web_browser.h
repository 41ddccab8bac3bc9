#pragma once

#include <QWidget>

class QToolBar;
class QUrl;
class QWebEngineView;

// A web view under a small toolbar with the page's own Back, Forward,
// Reload and Stop.
class WebBrowser : public QWidget
{
    Q_OBJECT

public:
    explicit WebBrowser(QWidget *parent = nullptr);

    void setUrl(const QUrl &url);
    QWebEngineView *view() const { return m_view; }
    QToolBar *toolBar() const { return m_toolBar; }

private:
    QToolBar *m_toolBar;
    QWebEngineView *m_view;
};
