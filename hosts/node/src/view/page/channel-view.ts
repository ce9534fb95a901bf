import { YuvRenderer } from '../../renderer/yuv-renderer';
import type { YuvFrame } from '../../renderer/yuv-frame';
import type { ChannelStats } from './messages';

/** One channel's card: its canvas, drawn by a YuvRenderer, and a caption with its counters. */
export class ChannelView {
  readonly element: HTMLElement;
  private readonly renderer: YuvRenderer;
  private readonly caption: HTMLElement;
  private drawn = 0;
  private size = '';
  private recentDraws: number[] = [];

  constructor(readonly index: number) {
    this.element = document.createElement('figure');
    this.element.className = 'channel';
    this.element.id = `channel-${index}`;
    this.element.dataset['frames'] = '0';
    const canvas = document.createElement('canvas');
    canvas.width = 640;
    canvas.height = 360;
    this.caption = document.createElement('figcaption');
    this.element.append(canvas, this.caption);
    this.renderer = new YuvRenderer(canvas);
    this.showCaption();
  }

  draw(frame: YuvFrame): void {
    this.renderer.draw(frame);
    this.drawn++;
    this.element.dataset['frames'] = String(this.drawn);
    this.size = `${frame.width}x${frame.height}`;
    const now = performance.now();
    this.recentDraws.push(now);
    this.recentDraws = this.recentDraws.filter((time) => now - time < 2000);
  }

  showStats(stats: ChannelStats | undefined): void {
    // Stopped: the canvas keeps its last frame, the caption says it is not live.
    this.element.dataset['state'] = stats?.stopped ? 'stopped' : this.drawn > 0 ? 'live' : 'idle';
    this.showCaption(stats);
  }

  private showCaption(stats?: ChannelStats): void {
    const name = this.index === 0 ? 'channel 0 (preview)' : `channel ${this.index}`;
    const now = performance.now();
    this.recentDraws = this.recentDraws.filter((time) => now - time < 2000);
    const fps = (this.recentDraws.length / 2).toFixed(1);
    const details = [name, this.size || 'no frames yet', `${fps} fps`, `${this.drawn} drawn`];
    if (stats?.stopped) details.splice(1, 0, 'stopped');
    if (stats) details.push(`${stats.skipped} skipped`);
    this.caption.textContent = details.join(' · ');
    this.caption.title = `${stats?.frames ?? 0} frames and ${stats?.bytes ?? 0} bytes received; drawn with ${this.renderer.api}`;
  }
}
