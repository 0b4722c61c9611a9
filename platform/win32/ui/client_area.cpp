#include "client_area.h"

#include <algorithm>
#include <vector>

namespace {

struct Child {
    GtkWidget* widget;
    GdkRectangle rect;
};

struct ClientArea {
    GtkContainer parent;
    std::vector<Child>* children;
    bool allocated;  // laid out at least once: children can be allocated directly
};

struct ClientAreaClass {
    GtkContainerClass parentClass;
};

GType client_area_get_type();
G_DEFINE_TYPE(ClientArea, client_area, GTK_TYPE_CONTAINER)

ClientArea* AsArea(GtkWidget* widget) {
    return G_TYPE_CHECK_INSTANCE_CAST(widget, client_area_get_type(), ClientArea);
}

Child* FindChild(ClientArea* area, GtkWidget* widget) {
    for (Child& c : *area->children) {
        if (c.widget == widget)
            return &c;
    }
    return nullptr;
}

// Allocates one child at its rectangle, relative to the area's own allocation (the area
// has no window of its own). The toolkit wants every widget measured before it is sized.
void AllocateChild(GtkWidget* areaWidget, const Child& child) {
    if (!gtk_widget_get_visible(child.widget))
        return;
    GtkAllocation area;
    gtk_widget_get_allocation(areaWidget, &area);
    GtkRequisition minimum;
    gtk_widget_get_preferred_size(child.widget, &minimum, nullptr);
    GtkAllocation a{area.x + child.rect.x, area.y + child.rect.y, std::max(child.rect.width, 0),
                    std::max(child.rect.height, 0)};
    gtk_widget_size_allocate(child.widget, &a);
}

void client_area_init(ClientArea* self) {
    self->children = new std::vector<Child>();
    gtk_widget_set_has_window(GTK_WIDGET(self), FALSE);
}

void client_area_finalize(GObject* object) {
    delete reinterpret_cast<ClientArea*>(object)->children;
    G_OBJECT_CLASS(client_area_parent_class)->finalize(object);
}

void client_area_preferred_size(GtkWidget*, gint* minimum, gint* natural) {
    *minimum = 0;
    *natural = 0;
}

void client_area_size_allocate(GtkWidget* widget, GtkAllocation* allocation) {
    gtk_widget_set_allocation(widget, allocation);
    AsArea(widget)->allocated = true;
    const std::vector<Child> children = *AsArea(widget)->children;
    for (const Child& c : children)
        AllocateChild(widget, c);
}

void client_area_add(GtkContainer* container, GtkWidget* child) {
    Win32ClientAreaPut(GTK_WIDGET(container), child, 0, 0, 0, 0);
}

void client_area_remove(GtkContainer* container, GtkWidget* child) {
    auto* children = reinterpret_cast<ClientArea*>(container)->children;
    auto it = std::find_if(children->begin(), children->end(),
                           [child](const Child& c) { return c.widget == child; });
    if (it == children->end())
        return;
    const bool wasVisible = gtk_widget_get_visible(child);
    children->erase(it);
    gtk_widget_unparent(child);
    if (wasVisible)
        gtk_widget_queue_resize(GTK_WIDGET(container));
}

void client_area_forall(GtkContainer* container, gboolean, GtkCallback callback, gpointer data) {
    // The callback may remove children (destruction does), so walk a copy.
    std::vector<GtkWidget*> widgets;
    for (const Child& c : *reinterpret_cast<ClientArea*>(container)->children) {
        widgets.push_back(c.widget);
    }
    for (GtkWidget* w : widgets)
        callback(w, data);
}

void client_area_class_init(ClientAreaClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = client_area_finalize;
    GtkWidgetClass* widgetClass = GTK_WIDGET_CLASS(klass);
    widgetClass->get_preferred_width = client_area_preferred_size;
    widgetClass->get_preferred_height = client_area_preferred_size;
    widgetClass->size_allocate = client_area_size_allocate;
    GtkContainerClass* containerClass = GTK_CONTAINER_CLASS(klass);
    containerClass->add = client_area_add;
    containerClass->remove = client_area_remove;
    containerClass->forall = client_area_forall;
}

}  // namespace

GtkWidget* Win32ClientAreaNew() {
    return GTK_WIDGET(g_object_new(client_area_get_type(), nullptr));
}

void Win32ClientAreaPut(GtkWidget* area, GtkWidget* child, int x, int y, int width, int height) {
    AsArea(area)->children->push_back(Child{child, GdkRectangle{x, y, width, height}});
    gtk_widget_set_parent(child, area);
}

void Win32ClientAreaMove(GtkWidget* area, GtkWidget* child, int x, int y, int width, int height) {
    Child* c = FindChild(AsArea(area), child);
    if (!c)
        return;
    c->rect = GdkRectangle{x, y, width, height};
    // Directly, not by queueing a resize: a move made while the area itself is being laid
    // out (a WM_SIZE handler) would otherwise be lost.
    if (AsArea(area)->allocated) {
        AllocateChild(area, *c);
    } else {
        gtk_widget_queue_resize(area);
    }
}

bool Win32ClientAreaGetRect(GtkWidget* area, GtkWidget* child, GdkRectangle* rect) {
    const Child* c = FindChild(AsArea(area), child);
    if (!c)
        return false;
    *rect = c->rect;
    return true;
}
