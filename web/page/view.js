// The 3D view: the converted object built from the converter's arrays (the
// ones its glb holds: colours, normals, lines, sides as the file says), so
// that what is seen is what is downloaded; orbit and zoom, fit to the
// object, a ground grid and axes sized to it.
import { AxesHelper, Box3, GridHelper, PerspectiveCamera, Vector3, WebGLRenderer } from 'three';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';
import { disposeObject, emptyScene, frame, light, objectFromView, setCamera } from './scene.js';

// Without WebGL the view is a line saying why, and does nothing.
function noWebGL(canvas, error) {
  canvas.replaceWith(Object.assign(document.createElement('p'), {
    className: 'no-webgl', textContent: `WebGL: ${error.message}`,
  }));
  return { show() {}, fit() {}, setGrid() {}, setAxes() {}, setUp() {}, stats: () => ({ webgl: false }) };
}

// `v`: the view's state, as createView makes it.
function size(v) {
  const width = v.canvas.clientWidth || 640;
  const height = v.canvas.clientHeight || 480;
  if (v.canvas.width !== Math.floor(width * v.renderer.getPixelRatio()) ||
      v.canvas.height !== Math.floor(height * v.renderer.getPixelRatio())) {
    v.renderer.setSize(width, height, false);
    v.camera.aspect = width / height;
    v.camera.updateProjectionMatrix();
  }
}

function draw(v) {
  size(v);
  v.renderer.render(v.scene, v.camera);
}

// Keyboard: with the view focused, the arrow keys pan and +/- zoom.
function listenForKeys(v) {
  v.controls.listenToKeyEvents(v.canvas);
  v.canvas.addEventListener('keydown', (event) => {
    if (event.key !== '+' && event.key !== '-' && event.key !== '=') return;
    event.preventDefault();
    const factor = event.key === '-' ? 1.2 : 1 / 1.2;
    v.camera.position.sub(v.controls.target).multiplyScalar(factor).add(v.controls.target);
    v.controls.update();
    draw(v);
  });
}

// The helpers sized to the object: a grid on its floor, axes at the origin.
function helpers(v, box) {
  if (v.grid) { v.scene.remove(v.grid); v.grid.dispose(); }
  if (v.axes) { v.scene.remove(v.axes); v.axes.dispose(); }
  const extent = box.isEmpty() ? 2 : Math.max(...box.getSize(new Vector3()).toArray(), 1e-6);
  const step = Math.pow(10, Math.floor(Math.log10(extent / 2)));
  const span = Math.ceil((extent * 2) / step) * step;
  v.grid = new GridHelper(span, Math.round(span / step), 0x667080, 0x3a404a);
  v.grid.position.y = box.isEmpty() ? 0 : box.min.y;
  v.grid.visible = v.showGrid;
  v.axes = new AxesHelper(extent * 0.75);
  v.axes.visible = v.showAxes;
  v.scene.add(v.grid, v.axes);
}

function fit(v) {
  size(v);
  v.controls.target.copy(frame(v.camera, v.object));
  v.controls.update();
  draw(v);
}

// `view`: the converter's arrays, or null for nothing.
function show(v, view) {
  const load = ++v.loadCount;
  if (v.object) {
    v.scene.remove(v.object);
    disposeObject(v.object);
    v.object = null;
  }
  if (view) {
    v.object = objectFromView(view);
    v.scene.add(v.object);
  }
  helpers(v, v.object ? new Box3().setFromObject(v.object) : new Box3());
  fit(v);
  v.canvas.dataset.loads = String(load);
}

export function createView(canvas) {
  let renderer = null;
  try {
    renderer = new WebGLRenderer({ canvas, antialias: true, preserveDrawingBuffer: true });
  } catch (error) {
    return noWebGL(canvas, error);
  }
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  const camera = new PerspectiveCamera(45, 1, 0.01, 1000);
  camera.position.set(3, 2, 4);
  const controls = new OrbitControls(camera, canvas);
  controls.enableDamping = false;
  const v = { canvas, renderer, scene: emptyScene(), camera, controls, grid: null, axes: null,
              showGrid: true, showAxes: true, object: null, loadCount: 0 };
  controls.addEventListener('change', () => draw(v));
  listenForKeys(v);

  new ResizeObserver(() => draw(v)).observe(canvas);
  helpers(v, new Box3());
  draw(v);

  return {
    show: (view) => show(v, view),
    fit: () => fit(v),
    // The converter's lights and camera, once it is ready. A worker started
    // again after a failure reports them again: they are set once.
    setUp(setup) {
      if (v.lit) return;
      v.lit = true;
      light(v.scene, setup);
      setCamera(v.camera, setup);
      fit(v);
    },
    setGrid(on) { v.showGrid = on; if (v.grid) v.grid.visible = on; draw(v); },
    setAxes(on) { v.showAxes = on; if (v.axes) v.axes.visible = on; draw(v); },
    stats() {
      let meshes = 0;
      let lines = 0;
      let points = 0;
      if (v.object) {
        v.object.traverse((o) => {
          if (o.isMesh) meshes++;
          if (o.isLine || o.isLineSegments) lines++;
          if (o.isPoints) points++;
        });
      }
      return { webgl: true, loads: v.loadCount, meshes, lines, points };
    },
  };
}
