// A list of fixed-height rows of which only the visible ones (and a margin) exist in the DOM:
// 60,000 found files must scroll like 60. The rows are a small pool of recycled nodes moved
// with transform; one spacer gives the scroll height. The data stays in the caller's array.
//
// new VirtualList(container, {rowHeight, render(row, item, index), onKey(event, item, index),
//                             label, headerRows, tick, onTicked({refused})})
// .setItems(array), .refresh(), .scrollToIndex(i), .focusIndex(i), .isOnScreen(i), .activeIndex,
// .items
//
// `tick` = {tickable(item), ticked(item), set(item, wanted) -> accepted} lets the keyboard tick
// rows: Space toggles the active row, Shift with a move ticks every row from the anchor (the row
// where the last plain move, click or tick happened) to the new active row. A range that shrinks
// unticks only what it ticked itself. The owner's `set` may refuse; refused items are answered
// through onTicked so the owner can say why.
(function () {
    'use strict';

    const kMargin = 10;
    // Every row holds at most this many tab stops of its own; the rest get tabindex -1 so that
    // Tab walks from the active row into its actions and then out of the list.
    const kActionSelector = 'button, input, a[href], select';

    class VirtualList {
        constructor(container, options) {
            this.options = Object.assign({rowHeight: 32, headerRows: 0, label: ''}, options);
            this.items = [];
            this.activeIndex = 0;
            this.anchorIndex = 0;
            this.rangeTicked = [];
            this.pool = [];
            this.viewportHeight = 0;
            // The rows in view at the last render, without the margin: what is worth loading.
            this.onScreen = {first: 0, last: 0};
            this.frame = 0;
            this.scroller = document.createElement('div');
            this.scroller.className = 'vlist';
            this.scroller.setAttribute('role', 'grid');
            if (this.options.label) this.scroller.setAttribute('aria-label', this.options.label);
            this.spacer = document.createElement('div');
            this.spacer.className = 'vlist-spacer';
            this.scroller.appendChild(this.spacer);
            container.appendChild(this.scroller);
            this.scroller.addEventListener('scroll', () => this.schedule(), {passive: true});
            this.scroller.addEventListener('keydown', (event) => this.onKeyDown(event));
            this.scroller.addEventListener('focusin', (event) => this.onFocusIn(event));
            // A tick by mouse (the row's own checkbox) starts the next range there.
            this.scroller.addEventListener('change', (event) => {
                const row = event.target.closest('.vlist-row');
                if (row) this.setAnchor(Number(row.dataset.index));
            });
            if (typeof ResizeObserver === 'function') {
                new ResizeObserver((entries) => {
                    this.viewportHeight = entries[0].contentRect.height;
                    this.schedule();
                }).observe(this.scroller);
            }
        }

        setItems(items) {
            this.items = Array.isArray(items) ? items : [];
            this.activeIndex = Math.min(this.activeIndex, Math.max(0, this.items.length - 1));
            // Indexes of the old items mean nothing in the new ones.
            this.setAnchor(this.activeIndex);
            this.spacer.style.height = this.items.length * this.options.rowHeight + 'px';
            this.scroller.setAttribute('aria-rowcount',
                                       String(this.items.length + this.options.headerRows));
            this.render(true);
        }

        refresh() {
            this.render(true);
        }

        schedule() {
            if (this.frame) return;
            this.frame = requestAnimationFrame(() => {
                this.frame = 0;
                this.render(false);
            });
        }

        // The one place that reads layout, before any write of this frame.
        visibleRange() {
            const height = this.viewportHeight || this.scroller.clientHeight || 400;
            const rowHeight = this.options.rowHeight;
            const top = Math.floor(this.scroller.scrollTop / rowHeight);
            const bottom = Math.ceil((this.scroller.scrollTop + height) / rowHeight);
            this.onScreen = {first: top, last: Math.min(this.items.length, bottom)};
            return {first: Math.max(0, top - kMargin),
                    last: Math.min(this.items.length, bottom + kMargin)};
        }

        addRow() {
            const row = document.createElement('div');
            row.className = 'vlist-row';
            row.setAttribute('role', 'row');
            row.style.height = this.options.rowHeight + 'px';
            row.hidden = true;
            row.shownIndex = -1;
            this.scroller.appendChild(row);
            this.pool.push(row);
        }

        // Item i always lives in pooled row i % pool size, so a scroll only fills the rows that
        // came into view; the rows that stay keep their texts and cost no layout. `all` renders
        // every row again, for changes to the items themselves (ticks, texts, the active row).
        render(all) {
            const {first, last} = this.visibleRange();
            if (this.pool.length < last - first) {
                while (this.pool.length < last - first) this.addRow();
                all = true;  // the rows of the items on screen have moved
            }
            const size = this.pool.length;
            for (const row of this.pool) {
                if (row.shownIndex >= 0 && (row.shownIndex < first || row.shownIndex >= last)) {
                    row.hidden = true;
                    row.shownIndex = -1;
                }
            }
            for (let index = first; index < last; ++index) {
                const row = this.pool[index % size];
                if (!all && row.shownIndex === index) continue;
                row.shownIndex = index;
                row.hidden = false;
                row.dataset.index = String(index);
                row.style.transform = 'translateY(' + index * this.options.rowHeight + 'px)';
                row.setAttribute('aria-rowindex', String(index + 1 + this.options.headerRows));
                this.options.render(row, this.items[index], index);
                this.setTabStops(row, index === this.activeIndex);
            }
        }

        setTabStops(row, active) {
            row.tabIndex = active ? 0 : -1;
            row.classList.toggle('is-active', active);
            for (const control of row.querySelectorAll(kActionSelector)) {
                control.tabIndex = active ? 0 : -1;
            }
        }

        isOnScreen(index) {
            return index >= this.onScreen.first && index < this.onScreen.last;
        }

        rowOf(index) {
            return this.pool.find((row) => !row.hidden && Number(row.dataset.index) === index);
        }

        scrollToIndex(index) {
            const rowHeight = this.options.rowHeight;
            const height = this.viewportHeight || this.scroller.clientHeight;
            const top = index * rowHeight;
            if (top < this.scroller.scrollTop) {
                this.scroller.scrollTop = top;
            } else if (top + rowHeight > this.scroller.scrollTop + height) {
                this.scroller.scrollTop = top + rowHeight - height;
            }
        }

        // keepAnchor: a Shift move, which extends the range from where it began.
        focusIndex(index, keepAnchor) {
            if (this.items.length === 0) return;
            this.activeIndex = Math.max(0, Math.min(this.items.length - 1, index));
            if (!keepAnchor) this.setAnchor(this.activeIndex);
            this.scrollToIndex(this.activeIndex);
            this.render(true);
            const row = this.rowOf(this.activeIndex);
            if (row) row.focus({preventScroll: true});
        }

        onFocusIn(event) {
            const row = event.target.closest('.vlist-row');
            if (!row || row.hidden) return;
            const index = Number(row.dataset.index);
            if (index === this.activeIndex) return;
            const previous = this.rowOf(this.activeIndex);
            this.activeIndex = index;
            this.setAnchor(index);
            if (previous) this.setTabStops(previous, false);
            this.setTabStops(row, true);
        }

        pageRows() {
            const height = this.viewportHeight || this.scroller.clientHeight;
            return Math.max(1, Math.floor(height / this.options.rowHeight) - 1);
        }

        setAnchor(index) {
            this.anchorIndex = index;
            this.rangeTicked = [];
        }

        onKeyDown(event) {
            const moves = {
                ArrowDown: 1,
                ArrowUp: -1,
                PageDown: this.pageRows(),
                PageUp: -this.pageRows(),
                Home: -Infinity,
                End: Infinity,
            };
            const onRow = event.target.classList.contains('vlist-row');
            if (event.key in moves && (onRow || event.key.startsWith('Arrow'))) {
                event.preventDefault();
                const move = moves[event.key];
                const target = Number.isFinite(move) ? this.activeIndex + move :
                                                       (move < 0 ? 0 : this.items.length - 1);
                const extend = event.shiftKey && Boolean(this.options.tick);
                this.focusIndex(target, extend);
                if (extend) this.tickRange();
                if (this.options.onKey) {
                    this.options.onKey(event, this.items[this.activeIndex], this.activeIndex);
                }
                return;
            }
            if (onRow && event.key === ' ' && this.options.tick) {
                event.preventDefault();
                this.tickActive();
                return;
            }
            if (onRow && this.options.onKey) {
                this.options.onKey(event, this.items[this.activeIndex], this.activeIndex);
            }
        }

        tickActive() {
            const tick = this.options.tick;
            const item = this.items[this.activeIndex];
            this.setAnchor(this.activeIndex);
            if (item === undefined || !tick.tickable(item)) return;
            const accepted = tick.set(item, !tick.ticked(item));
            this.render(true);
            this.reportTicks(accepted ? [] : [item]);
        }

        // Rows enter the range from the anchor outwards, so where an owner allows only some of
        // them (one copy of a group must stay) the rows nearest the anchor win.
        tickRange() {
            const tick = this.options.tick;
            const anchor = Math.min(this.anchorIndex, this.items.length - 1);
            const active = this.activeIndex;
            const low = Math.min(anchor, active);
            const high = Math.max(anchor, active);
            const kept = [];
            for (const index of this.rangeTicked) {
                if (index >= low && index <= high) {
                    kept.push(index);
                } else {
                    tick.set(this.items[index], false);
                }
            }
            this.rangeTicked = kept;
            const refused = [];
            const step = active >= anchor ? 1 : -1;
            for (let index = anchor; index >= 0; index += step) {
                const item = this.items[index];
                if (item !== undefined && tick.tickable(item) && !tick.ticked(item)) {
                    if (tick.set(item, true)) {
                        this.rangeTicked.push(index);
                    } else {
                        refused.push(item);
                    }
                }
                if (index === active) break;
            }
            this.render(true);
            this.reportTicks(refused);
        }

        reportTicks(refused) {
            if (this.options.onTicked) this.options.onTicked({refused});
        }
    }

    window.VirtualList = VirtualList;
})();
